# What makes a file a browser executable and a directory a browser home:
# the size limit, the libc character, MOZILLA_HOME in the file, the sibling
# files, and the pairing of named executables with named homes.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

work=$(mktemp -d /tmp/browser.XXXXXX)
chmod 755 "$work"
cp "$PLIM_BUILD_DIR/testing/browser_probe" "$work/probe"
probe() { "$work/probe" --own-signature "$@"; }
entry() { grep -P "^entry\t\Q$1\E\t" <<<"$out" | cut -f2-; }
alice=$(add_user alice)

# Size limit: the same stand-in, one byte short of and exactly at the
# smallest browser size; both run.
short=$(install_stand_in /opt/short) && truncate -s 6506367 "$short"
exact=$(install_stand_in /opt/exact) && truncate -s 6506368 "$exact"
# libc 5 marker first, then the C library's own "libc.so.6".
five=$(install_stand_in /opt/five 5)
# "libc.so.6" but no "MOZILLA_HOME" anywhere.
nomoz=$(install_stand_in /opt/nomoz)
perl -0777 -pi -e 's/MOZILLA_HOME/MOZILLA_HOMX/g' "$nomoz"
assert_eq 0 "$(grep -c -a -F MOZILLA_HOME "$nomoz")" "marker removed"
for exe in "$short" "$exact" "$five" "$nomoz"; do start_browser alice "$exe" >/dev/null; done

out=$(probe --search 2>&1)
assert_eq "" "$(entry "$short")" "6,506,367 bytes are too few"
assert_eq "$(printf '%s\t6' "$alice")" "$(entry "$exact" | cut -f2-3)" "6,506,368 bytes are enough"
assert_eq "$(printf '%s\t5' "$alice")" "$(entry "$five" | cut -f2-3)" "libc.so.5 before libc.so.6"
assert_contains "$out" "$(printf 'Found:\tNetscape as %s linked to libc.so.5' "$five")" "Found line"
assert_eq "" "$(entry "$nomoz")" "libc.so.6 without MOZILLA_HOME"
assert_contains "$out" "Check: if $nomoz is Netscape" "its contents were checked"

# Directory test, each in a fresh probe (the verdict is remembered per run).
scan() { probe --scan "$1" 2>&1 | grep -P '^result' | cut -f3; }
mkdir -p /opt/d1/plugins /opt/d1/java && cp "$exact" /opt/d1/communicator
assert_eq 0 "$(scan /opt/d1)" "plugins and java, no sibling"
touch /opt/d1/vreg
assert_eq 1 "$(scan /opt/d1)" "an empty vreg makes it a home"
mkdir -p /opt/d2/plugins && touch /opt/d2/libjsd.so /opt/d2/spell && cp "$exact" /opt/d2/communicator
assert_eq 1 "$(scan /opt/d2)" "plugins, libjsd.so and spell"
mkdir -p /opt/d3/java && touch /opt/d3/vreg /opt/d3/netscape && cp "$exact" /opt/d3/communicator
assert_eq 0 "$(scan /opt/d3)" "no home without plugins"

# Pairing: a:b:c with x; a with x:y; "a:" with x:y:z.
mkdir -p /opt/bin
for n in a b c; do cp "$exact" /opt/bin/$n; done
for h in x y z; do install_stand_in /opt/$h >/dev/null; done
mkdir -p /opt/nothome/plugins
out=$(probe --lists /opt/bin/a:/opt/bin/b:/opt/bin/c /opt/x 2>&1)
assert_eq "$(printf '/opt/bin/a\t/opt/x\n/opt/bin/b\t/opt/x\n/opt/bin/c\t/opt/x')" \
  "$(grep '^entry' <<<"$out" | cut -f2,5)" "a:b:c / x"
out=$(probe --lists /opt/bin/a /opt/nothome:/opt/y 2>&1)
assert_eq "$(printf '/opt/bin/a\t/opt/y')" "$(grep '^entry' <<<"$out" | cut -f2,5)" "a / x:y tries y after x"
out=$(probe --lists /opt/bin/a: /opt/x:/opt/y:/opt/z 2>&1)
assert_eq "$(printf '/opt/bin/a\t/opt/x\n/opt/y/netscape\t/opt/y\n/opt/z/netscape\t/opt/z')" \
  "$(grep '^entry' <<<"$out" | cut -f2,5)" "a: / x:y:z scans y and z"

# A home that passes the test but cannot be listed.
mkdir -p /opt/locked/plugins /opt/locked/java && touch /opt/locked/vreg && chmod 311 /opt/locked
out=$(as_user alice "$work/probe" --own-signature --scan /opt/locked 2>&1)
assert_contains "$out" "$(printf 'Error:\tcan not open directory /opt/locked')" "unlistable home"
assert_contains "$out" "opendir: Permission denied" "system error"

pass
