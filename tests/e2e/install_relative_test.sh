# Relative values are taken against the directory the program was started in,
# not against "/" where the installation runs: a relative `config` file is
# read from there and the settings written back to it; the relative `prefix`
# given with it, and the relative browser path inside it, become paths below
# the start directory. (A relative `extract` directory: extract_mode_test.sh.)
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022

work=$(mktemp -d /tmp/relative.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
mkdir pkg start
make_package "$work/pkg/install" "$INSTALLER" license.txt.gz Plim.tar.gz

start=$work/start
cd "$start" || fail "cd $start"
browser=$(install_stand_in "$start/bin")
browser_pid=$(start_browser root "$browser")
# The profile file names the browser relative to the start directory.
echo "netscape='bin/netscape'" >rel.conf

# Enter for the licence, accept, then no to the MIME and refresh questions.
../pkg/install --prefix=inst --config=rel.conf <<<$'\ny\nn\nn' >out 2>err
assert_eq 0 $? "status of the installation"
out=$(cat out) err=$(cat err)
idir=$start/inst/Fernhollow-Plim/NetscapePlugin
assert_not_contains "$out" "Where would you" "the prefix question"
assert_contains "$out" "Check: if $browser is Netscape" "the browser of the profile file, made absolute"
assert_contains "$out" "prefix='$start/inst'"$'\n'"netscape='$browser'"$'\n'"mozilla='$start/bin/'"$'\n\n' \
  "settings printout"
assert_contains "$out" $'Create:\t'"$start/rel.conf"$'\n' "settings file in the start directory"
assert_eq "drwxr-xr-x" "$(stat -c %A "$start/inst")" "prefix made in the start directory"
assert_file "$idir/uninstall"
assert_file "$idir/license.txt"
assert_file "$idir/nsplimmo_libc6.so"
assert_no_file /inst
assert_no_file /rel.conf
assert_eq "prefix='$start/inst'
netscape='$browser'
mozilla='$start/bin/'
version='3.2.5.3'
license='license.txt'" "$(cat rel.conf)" "settings file rewritten"
assert_no_file /etc/Plim/plugin.conf
assert_file "$work/pkg/install.log"
assert_not_contains "$err" "Invalid" "errors"

# Started elsewhere, a relative prefix on the command line wins over the
# absolute one read back from the copied file and lands below the new start
# directory ("./" is kept: paths are joined, not normalised).
mkdir "$work/other" && cd "$work/other" || fail "cd $work/other"
cp "$start/rel.conf" .
../pkg/install --prefix=./inst --config=rel.conf <<<$'\nn' >out 2>err
assert_eq 1 $? "status after declining"
assert_contains "$(cat out)" "prefix='$work/other/./inst'"$'\n' "relative prefix against the new start directory"
assert_file "$work/other/inst/Fernhollow-Plim/NetscapePlugin"
assert_eq "prefix='$start/inst'" "$(head -1 rel.conf)" "settings file untouched after declining"

kill "$browser_pid"
pass
