# A damaged package must not cost the user the installation they have: the
# members are tested before the previous installation is removed, so the run
# ends with the gunzip error line and status 1 and the old files stay.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

work=$(mktemp -d /tmp/verify.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
head -c $(($(stat -c %s Plim.tar.gz) / 2)) Plim.tar.gz > cut.tar.gz
make_package "$work/install" "$INSTALLER" license.txt.gz cut.tar.gz
browser=$(install_stand_in /opt/netscape)

installed=/opt/Fernhollow-Plim/NetscapePlugin
mkdir -p "$installed"
echo "the plug-in in use" > "$installed/nsplimmo_libc6.so"
echo "old uninstaller" > "$installed/uninstall"
# The settings of that installation; the run reads them as its profile.
mkdir -p /etc/Plim
printf "prefix='/opt'\nnetscape='%s'\nmozilla='/opt/netscape/'\nversion='3.2.5.1'\nlicense='license.txt'\n" \
  "$browser" > /etc/Plim/plugin.conf
settings_before=$(cat /etc/Plim/plugin.conf)

# Yes to the upgrade question, Enter for the licence, then accept it.
./install --prefix=/opt --netscape="$browser" <<<$'y\n\ny' >out 2>err
assert_eq 1 $? "status with a damaged archive"
assert_contains "$(cat err)" $'Error:\tgunzip exited with status 1' "error line"
assert_contains "$(cat install.log)" $'Error:\tgunzip exited with status 1' "error line in the run log"
assert_eq "the plug-in in use" "$(cat "$installed/nsplimmo_libc6.so")" "installed plug-in kept"
assert_eq "old uninstaller" "$(cat "$installed/uninstall")" "installed uninstaller kept"
assert_contains "$(cat out)" "Do you wish to upgrade your plugin? (y/n) " "upgrade question"
assert_not_contains "$(cat out)" "Remove" "removal lines"
assert_eq "$settings_before" "$(cat /etc/Plim/plugin.conf)" "settings file kept"

# A damaged licence is found while it is shown: the run ends before the
# acceptance question, with the same error line, and the installation stays.
head -c $(($(stat -c %s license.txt.gz) - 12)) license.txt.gz > cut.txt.gz
make_package "$work/install" "$INSTALLER" cut.txt.gz Plim.tar.gz
./install --prefix=/opt --netscape="$browser" <<<$'y\n\ny' >out 2>err
assert_eq 1 $? "status with a damaged licence"
assert_contains "$(cat err)" $'Error:\tgunzip exited with status 1' "error line"
assert_not_contains "$(cat out)" "Do you accept" "acceptance question"
assert_eq "the plug-in in use" "$(cat "$installed/nsplimmo_libc6.so")" "installed plug-in kept"
assert_eq "$settings_before" "$(cat /etc/Plim/plugin.conf)" "settings file kept"
assert_no_file "$installed/license.txt.gz"

pass
