# Extract mode: the package is recognised however it is started; the licence
# and the archive are unpacked into the named directory (made with mode 0755,
# one level only); no uninstaller, no compressed file is left; the progress
# lines come in order on standard output and in the run log; a directory that
# cannot be made ends with status 255. An existing directory keeps its mode and
# owner; a file under a temporary copy's name stops the run untouched; started
# by bare name through PATH, the package finds its own file. A damaged member is not reported as
# success: the failing program's status on standard error and in the run
# log, status 1, and the compressed archive does not stay behind.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

work=$(mktemp -d /tmp/extract.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz
progress() { grep -E $'^(chdir|Create|Execute):\t' "$@"; }
umask 022

out=$(./install --extract=unpacked 2>"$work/err")
assert_eq 0 $? "status of extract mode"
assert_eq $'Find:\tSelf info' "$(head -1 <<<"$out")" "first line"
assert_eq "drwxr-xr-x" "$(stat -c %A unpacked)" "mode of the new directory"
assert_eq "$(gzip -dc license.txt.gz)" "$(cat unpacked/license.txt)" "unpacked licence"
assert_eq "-rw-r--r--" "$(stat -c %A unpacked/license.txt)" "mode of the licence"
assert_eq "libc6 plug-in stand-in" "$(cat unpacked/nsplimmo_libc6.so)" "archive member"
assert_file unpacked/doc/welcome.html
assert_no_file unpacked/uninstall
assert_eq "" "$(find unpacked -name '*.gz')" "compressed files left behind"
assert_eq "$(printf 'chdir:\t%s\nCreate:\t%s\nExecute:\t%s\nCreate:\t%s' \
  "$work/unpacked" "$work/unpacked/license.txt.gz" "gunzip -f license.txt.gz" "$work/unpacked/Plim.tar.gz")" \
  "$(progress <<<"$out")" "progress lines on standard output"
assert_eq "$(printf 'chdir:\t%s\nchdir:\t%s\nCreate:\t%s\nExecute:\t%s\nchdir:\t%s\nCreate:\t%s' \
  "$work/unpacked" "$work/unpacked" "$work/unpacked/license.txt.gz" "gunzip -f license.txt.gz" \
  "$work/unpacked" "$work/unpacked/Plim.tar.gz")" \
  "$(progress install.log)" "progress lines in the run log"
assert_contains "$out" "./doc/welcome.html" "tar's listing"

# Again into the existing directory: the members are replaced, nothing piles up.
echo "changed" > unpacked/license.txt
assert_status 0 ./install --extract=unpacked
assert_eq "$(gzip -dc license.txt.gz)" "$(cat unpacked/license.txt)" "licence replaced"
assert_eq "" "$(find unpacked -name '*.gz' -o -name '*~')" "leftovers after a second extraction"

mkdir start
# Into directories that are already there: one the run did not create keeps
# its mode and owner (a 1777 one its sticky bit, /tmp too), while a new one
# takes the archive's "./" entry; a file of ours under the temporary names'
# backup name is left alone.
add_user alice >/dev/null
tar -C tree --mode=go-rwx -czf private.tar.gz .
make_package "$work/private" "$INSTALLER" license.txt.gz private.tar.gz
mkdir shared && chmod 1777 shared && chown alice: shared
echo "mine" > shared/Plim.tar.gz~
for case in "shared:drwxrwxrwt alice" "/tmp:drwxrwxrwt root" "fresh:drwx------ root"; do
  dir=${case%%:*}
  assert_status 0 ./private --extract="$dir" >/dev/null
  assert_eq "${case#*:}" "$(stat -c '%A %U' "$dir")" "mode and owner of $dir"
  assert_file "$dir/nsplimmo_libc6.so"
done
assert_eq "mine" "$(cat shared/Plim.tar.gz~)" "a backup name left alone"

# A file under a temporary copy's name is not ours: nothing is replaced,
# removed or unpacked.
for name in license.txt.gz Plim.tar.gz; do
  rm -rf vendor && mkdir vendor && echo "vendor's own" > "vendor/$name"
  ./install --extract=vendor >/dev/null 2>err
  assert_eq 1 $? "status with $name in the way"
  line=$(printf 'Error:\t%s already exists and is not ours to replace' "$work/vendor/$name")
  assert_eq "$line" "$(cat err)" "error with $name in the way"
  assert_contains "$(cat install.log)" "$line" "run log with $name in the way"
  assert_eq "vendor's own" "$(cat "vendor/$name")" "$name kept"
  assert_eq "$name" "$(ls vendor)" "nothing unpacked beside $name"
done

# Started from PATH under a bare name, the package still reads its own file;
# the typed name names the run log.
mkdir bin && cp install bin/plim-setup
(cd start && PATH=$work/bin:$PATH plim-setup --help >/dev/null 2>&1)
assert_eq 0 $? "--help by bare name"
(cd start && PATH=$work/bin:$PATH plim-setup --extract=bare >/dev/null 2>&1)
assert_eq 0 $? "extract by bare name"
assert_file start/bare/nsplimmo_libc5.so
assert_file start/plim-setup.log

# Started from another directory: a relative directory is taken against the
# start directory, and the run log lies beside the program.
rm install.log
(cd start && ../install --extract=rel >/dev/null 2>&1)
assert_eq 0 $? "status from another start directory"
assert_file start/rel/license.txt
assert_file start/rel/nsplimmo_libc5.so
assert_file install.log
assert_no_file start/install.log

# Only one level is created: a missing parent ends with status 255.
./install --extract=missing/child >/dev/null 2>"$work/err"
assert_eq 255 $? "status when the directory cannot be made"
assert_eq "$(printf 'mkdir: No such file or directory\nFailed to created directory %s' "$work/missing/child")" \
  "$(cat "$work/err")" "messages when the directory cannot be made"
assert_no_file missing

# The bare installer has nothing to unpack.
"$INSTALLER" --extract=bare >/dev/null 2>err
assert_eq 1 $? "status of the bare installer"
assert_eq $'Error:\tThis program carries no package to unpack' "$(cat err)" "bare installer"

head -c $(($(stat -c %s Plim.tar.gz) / 2)) Plim.tar.gz > cut.tar.gz
head -c $(($(stat -c %s license.txt.gz) - 12)) license.txt.gz > cut.txt.gz
echo "no tar archive" | gzip > notar.tar.gz
check_damaged() { # LICENSE ARCHIVE EXPECTED-LINE
  rm -rf out install.log
  make_package "$work/install" "$INSTALLER" "$1" "$2"
  ./install --extract=out >/dev/null 2>err
  assert_eq 1 $? "status with $1 and $2"
  assert_contains "$(cat err)" "$3" "standard error with $1 and $2"
  assert_contains "$(cat install.log)" "$3" "run log with $1 and $2"
  assert_no_file out/Plim.tar.gz
}
check_damaged license.txt.gz cut.tar.gz $'Error:\tgunzip exited with status 1'
check_damaged license.txt.gz notar.tar.gz $'Error:\ttar exited with status 2'
check_damaged cut.txt.gz Plim.tar.gz $'Error:\tgunzip exited with status 1'
assert_no_file out/nsplimmo_libc6.so

pass
