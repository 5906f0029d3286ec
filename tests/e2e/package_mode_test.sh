# Package mode, run as "package" beside the file it writes ("install"): the
# argument form (exact layout, beta version, from a bare executable and from
# a package, a link "package" rebuilding its own "install"), the settings
# form from an installed tree (gzip and tar, the retry without the owner
# options, failing children) and the build usage for wrong arguments.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm
work=$(mktemp -d /tmp/packagemode.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
mv Plim.tar.gz tree.tar.gz

# run DIR ARG...: runs DIR/package in DIR; sets status, out and err.
run() {
  local dir=$1
  shift
  (cd "$dir" && ./package "$@" >"$work/out" 2>"$work/err")
  status=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
}
# le32 N: N as four little-endian bytes.
le32() { printf "$(printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
# expected_package IMAGE LICENSE ARCHIVE LNAME ANAME M m p d: the layout, byte by byte.
expected_package() {
  cat "$1" "$2" "$3"
  printf '%s\0%s\0EOFwytEOF\0' "$4" "$5"
  printf "$(printf '\\x%02x' "$6" "$7" "$8" "$9")\0\0"
  le32 "$(stat -c %s "$1")"; le32 "$(stat -c %s "$2")"; le32 "$(stat -c %s "$3")"
}
# version_bytes PACKAGE: the trailer's four version bytes.
version_bytes() { tail -c 18 "$1" | head -c 4 | od -An -tu1 | xargs; }

# --- Argument form, from the bare installer -----------------------------------
mkdir bare bare/sub && cp "$INSTALLER" bare/package && cp license.txt.gz bare/ && cp tree.tar.gz bare/sub/my.tar.gz
run bare 2 0 0 1 license.txt.gz sub/my.tar.gz
assert_eq 0 "$status" "status of the argument form"
assert_contains "$out" "Archive successfull!" "success line"
expected_package "$INSTALLER" license.txt.gz tree.tar.gz license.txt.gz my.tar.gz 2 0 0 1 >expected
cmp bare/install expected || fail "the package's layout differs from image, members, names and trailer"
e2e_ok
assert_eq "-rwxr-xr-x" "$(stat -c %A bare/install)" "mode of install"
assert_contains "$(cat bare/package.log)" "Archive successfull!" "run log"
# The beta version in the banner: the prefix question shows it, and end of input ends the run.
browser=$(start_browser root "$(install_stand_in /opt/netscape)")
out=$(bare/install </dev/null 2>&1)
assert_contains "$out" "|        P l i m   P l u g i n   V e r s i o n   2 . 0   B e t a   1        |" "beta banner"
kill "$browser"

# --- Argument form, from a package: only its executable part is reused ---------
mkdir again && cp bare/install again/package && printf 'other\n' | gzip >again/l.gz && cp license.txt.gz again/a.gz
run again 300 2 5 259 l.gz a.gz
assert_eq 0 "$status" "status of a build from a package"
expected_package "$INSTALLER" again/l.gz again/a.gz l.gz a.gz 44 2 5 3 >expected
cmp again/install expected || fail "a build from a package carries more than the executable image"
e2e_ok

# --- A link "package" beside "install" rebuilds "install" itself ---------------
mkdir self && cp bare/install self/install && ln -s install self/package && cp license.txt.gz tree.tar.gz self/
run self 3 2 5 3 license.txt.gz tree.tar.gz
assert_eq 0 "$status" "status of rebuilding the running file"
expected_package "$INSTALLER" license.txt.gz tree.tar.gz license.txt.gz tree.tar.gz 3 2 5 3 >expected
cmp self/install expected || fail "the rebuilt install does not start with the old executable image"
e2e_ok
assert_no_file self/install~
assert_eq "symbolic link" "$(stat -c %F self/package)" "the link stays"

# --- Wrong arguments: the build usage, status 1 --------------------------------
usage="To build:
	./package major minor patch delta license archive
	-or-
	./package major minor 0 beta license archive
Examples:
	./package 2 0 2 1 License.txt.gz Plim.tar.gz
	./package 2 0 0 1 license.txt.gz plim.tar.gz"
for args in "--license=x" "--prefix=/tmp" "3 x 5 3 license.txt.gz tree.tar.gz" "3 2 5 3 license.txt.gz" \
  "3 2 5 3 license.txt.gz tree.tar.gz extra" "3 2 5 3 license.txt.gz tree.tar.gz --quiet"; do
  # shellcheck disable=SC2086
  run bare $args
  assert_eq "1 $usage" "$status $err" "usage and status for [$args]"
done

# --- Settings form, from an installed tree --------------------------------------
add_user alice >/dev/null
prefix=$work/prefix idir=$work/prefix/Fernhollow-Plim/NetscapePlugin
mkdir -p "$idir/doc" && tar -C "$idir" -xzf tree.tar.gz && printf 'The licence text\n' >"$idir/license.txt" &&
  cp "$INSTALLER" "$idir/uninstall" && touch "$idir/.nfs0001" "$idir/doc/.nfs0002" && chown -R alice: "$idir" ||
  fail "cannot make the installed tree"
export HOME=$work/home TMPDIR=$work/tmp
mkdir -p "$HOME/.Plim" "$TMPDIR" "$work/bin"
# settings_run VERSION: the settings form in a fresh directory $work/s.
settings_run() {
  printf "prefix='%s'\nversion='%s'\nlicense='license.txt'\n" "$prefix" "$1" >"$HOME/.Plim/plugin.conf"
  rm -rf s && mkdir s && cp "$INSTALLER" s/package
  run s
  assert_eq "" "$(ls -A "$TMPDIR")" "temporary files left"
}
for case in "3.2:3 2 0 0" "300.2.5.259:44 2 5 3"; do
  settings_run "${case%%:*}"
  assert_eq "0 ${case#*:}" "$status $(version_bytes s/install)" "version bytes of ${case%%:*}"
done
settings_run "3.2 beta 1"
assert_eq 0 "$status" "status of the settings form"
assert_contains "$out" $'Archiving version 3.2 beta 1 of the Plim Plugin from directory:\n\n\t'"$idir"$'\n\n' "archiving line"
assert_contains "$out" $'Execute:\tgzip -9 -c\nExecute:\ttar --exclude=license.txt -C '"$idir"'/ --exclude=uninstall --exclude=.nfs* -f '"$TMPDIR"'/' "gzip and tar lines"
assert_contains "$out" ' --create --gzip -vv --owner=root --group=root . '$'\n' "tar line's end"
assert_eq "3 2 0 1" "$(version_bytes s/install)" "version bytes of 3.2 beta 1"
assert_eq "license.txt.gz Plim.tar.gz" "$(head -c -28 s/install | tail -c 27 | tr '\0' ' ' | xargs)" "member names"
s/install --extract="$work/x" >"$work/xout" 2>&1 || fail "cannot extract the settings-form package"
e2e_ok
assert_eq "$(printf '%s\n' . ./doc ./doc/welcome.html ./license.txt ./nsplimmo_libc5.so ./nsplimmo_libc6.so ./plimview)" \
  "$(cd x && find . | sort)" "members of the package"
cmp x/license.txt "$idir/license.txt" || fail "the licence member differs from the licence text"
e2e_ok
assert_not_contains "$(grep -a ' \./' "$work/xout")" "alice" "owners in the archive"
assert_contains "$(grep -a ' \./plimview' "$work/xout")" "root/root" "plimview's owner in the archive"

# A tar that rejects the owner options: the retry, and a good package.
printf '#!/bin/bash\n[[ " $* " == *" --owner=root "* ]] && exit 2\nexec /usr/bin/tar "$@"\n' >"$work/bin/tar"
chmod 755 "$work/bin/tar"
PATH=$work/bin:$PATH settings_run "3.2.5.3"
assert_eq 0 "$status" "status after the retry"
assert_eq $'Retry:\tSecond attempt to build archive.' "$err" "retry line"
assert_contains "$out" ' --create --gzip -vv . '$'\n' "second tar line"
assert_eq "3 2 5 3" "$(version_bytes s/install)" "version bytes of 3.2.5.3"
s/install --extract="$work/x2" >"$work/xout" 2>&1 || fail "cannot extract the retried package"
e2e_ok
assert_contains "$(grep -a ' \./plimview' "$work/xout")" "alice/alice" "owner without the options"
cmp x2/plimview "$idir/plimview" || fail "plimview differs after the retry"
e2e_ok

# Failing children: error lines, status 1, no output, an old install intact.
for child in gzip tar; do
  printf '#!/bin/sh\nexit 3\n' >"$work/bin/$child" && chmod 755 "$work/bin/$child"
  PATH=$work/bin:$PATH settings_run "3.2.5.3"
  assert_eq 1 "$status" "status with a failing $child"
  assert_contains "$err" $'Error:\t'"$child exited with status 3" "$child's error line"
  assert_contains "$(cat s/package.log)" $'Error:\t'"$child exited with status 3" "$child's error in the run log"
  assert_no_file s/install
  rm -f "$work/bin/$child"
done
# A tar that writes nothing: the empty archive cannot be mapped, and its
# temporary file does not stay behind (settings_run checks).
printf '#!/bin/sh\nexit 0\n' >"$work/bin/tar" && chmod 755 "$work/bin/tar"
PATH=$work/bin:$PATH settings_run "3.2.5.3"
assert_eq "1 mmap: Invalid argument" "$status $err" "an empty archive"
assert_no_file s/install
printf '#!/bin/sh\nexit 3\n' >"$work/bin/tar" && chmod 755 "$work/bin/tar"
cp bare/install s/install
PATH=$work/bin:$PATH run s
assert_eq 1 "$status" "status with a failing tar over an old install"
assert_contains "$err" $'Retry:\tSecond attempt to build archive.\nError:\ttar exited with status 3' "tar's lines"
cmp s/install bare/install || fail "the old install changed"
e2e_ok
assert_eq "" "$(ls -A "$TMPDIR")" "temporary files left"

# --- The demo package the build made ---------------------------------------------
"$PLIM_BUILD_DIR/demo/install" --extract="$work/demo" >"$work/xout" 2>&1 || fail "cannot extract the demo package"
e2e_ok
assert_eq "./ ./license.html ./help.html ./index.html ./back.jpg ./plview ./refs.html ./tour.html ./welcome.html \
./what.html ./images.plim ./nsplimmo_libc5.so ./nsplimmo_libc6.so ./welcome.plim" \
  "$(grep -a ' \./' "$work/xout" | awk '{print $NF}' | xargs)" "the demo archive's members, in order"
assert_eq 14 "$(grep -ac ' root/root ' "$work/xout")" "members recorded as root:root"
assert_eq "3 2 5 3" "$(version_bytes "$PLIM_BUILD_DIR/demo/install")" "demo version"
for lib in nsplimmo_libc5.so nsplimmo_libc6.so; do
  assert_contains "$(file -b "$work/demo/$lib")" "ELF 64-bit LSB shared object" "$lib"
done
assert_eq "plview: showing welcome.plim" "$("$work/demo/plview" welcome.plim)" "the demo viewer"
pass
