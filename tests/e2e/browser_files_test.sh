# What makes a file a browser executable and a directory a browser home:
# the size limit, the libc character, MOZILLA_HOME in the file, the sibling
# files, and the pairing of named executables with named homes.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

use_probe
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

# Directory test, each in a fresh probe (the verdict is remembered per run):
# "plugins", "java" or "libjsd.so", and one of eleven sibling names.
homes=0
home_case() { # EXPECTED WHAT NAME... (a NAME ending in / is a directory)
  local dir=/opt/home$((++homes)) name
  mkdir -p "$dir" && ln "$exact" "$dir/communicator"
  for name in "${@:3}"; do if [[ $name == */ ]]; then mkdir "$dir/$name"; else touch "$dir/$name"; fi; done
  assert_eq "$1" "$(probe --scan "$dir" 2>&1 | grep -P '^result' | cut -f3)" "home with $2"
}
home_case 0 "plugins and java, no sibling" plugins/ java/
home_case 1 "plugins, libjsd.so and spell" plugins/ libjsd.so spell
home_case 0 "java and siblings, no plugins" java/ vreg netscape
home_case 0 "plugins and spell, no java" plugins/ spell
home_case 0 "names close to siblings" plugins/ java/ registry bookmarks.htm
for sibling in Netscape.ad netscape-communicator netscape Netscape movemail movemail-src/ registery \
  bookmarks.html spell XKeysymDB vreg; do
  home_case 1 "the sibling $sibling" plugins/ java/ "$sibling"
done

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
