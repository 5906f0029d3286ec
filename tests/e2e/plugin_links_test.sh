# The whole run with running stand-ins. alice installs (links, hard-linked
# libc 6 library, the refresh run as alice), runs again (no and no change
# nothing), upgrades with the option, uninstalls through the questions (a
# vendor directory holding another product stays), installs again, and the
# installed "uninstall" removes it all. dave, without a home directory, gets
# no links. Root links into two browsers, libc 5 and libc 6, run by two
# users, and its own; the refresh runs each as its owner.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm PLIM_STAND_IN_LOG=/tmp/remote.log
touch "$PLIM_STAND_IN_LOG" && chmod 666 "$PLIM_STAND_IN_LOG"

work=$(mktemp -d /tmp/links.XXXXXX)
chmod 755 "$work"
cd "$work" || fail "cd $work"
make_payload "$work"
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz
touch install.log && chmod 666 install.log

# run USER INPUT [ARG...]: the package as USER with INPUT; sets status and out.
run() {
  local user=$1 input=$2
  shift 2
  if [[ $user == root ]]; then "$@" <<<"$input" >out 2>&1; else as_user "$user" "$@" <<<"$input" >out 2>&1; fi
  status=$?
  out=$(cat out)
}

add_user alice >/dev/null
add_user bob >/dev/null
browser=$(install_stand_in /opt/netscape)
alice_browser=$(start_browser alice "$browser")

idir=/home/alice/Fernhollow-Plim/NetscapePlugin
command="openFile($idir/welcome.html,PlimPlugin)"
run alice $'\n\ny\nn\ny' ./install
assert_eq 0 "$status" "alice's installation"
assert_not_contains "$out" "has been uninstalled" "first installation"
assert_eq "$idir" "$(readlink /home/alice/.netscape/Plim)" "directory link"
assert_eq "$(stat -c %i "$idir/nsplimmo_libc6.so")" "$(stat -c %i /home/alice/.netscape/plugins/nsplimmo.so)" \
  "plug-in hard link"
assert_file /home/alice/.Plim/plugin.conf
assert_contains "$out" $'Execute:\t'"$browser --remote $command as 1500" "refresh line"
assert_eq "$command"$'\truid=1500\teuid=1500\tHOME=/home/alice\tUSER=alice\tLOGNAME=alice' \
  "$(cat "$PLIM_STAND_IN_LOG")" "remote command received as alice"

# Second run: the settings from the file, no upgrade and no uninstall.
before=$(find /home/alice -printf '%p %i %s\n' | sort)
run alice $'n\nn' ./install
assert_eq 0 "$status" "no and no"
assert_contains "$out" $'A previous installation of the plugin has been found at:\n\t'"$idir" "upgrade question"
assert_eq "$before" "$(find /home/alice -printf '%p %i %s\n' | sort)" "nothing changed by no and no"

# The upgrade option: no question; the old installation goes after the
# licence, before the new links.
run alice $'\ny\nn\nn' ./install --upgrade
assert_eq 0 "$status" "upgrade"
assert_not_contains "$out" "Do you wish to upgrade" "upgrade option"
[[ $out == *"agreement? (y/n) "*$'Remove:\t/home/alice/.Plim/plugin.conf\n'*$'\n\nPlim has been uninstalled from your account.\n\n'*$'Create:\tNetscape links\n'* ]] ||
  fail "upgrade order: $out"
e2e_ok
assert_eq "$idir" "$(readlink /home/alice/.netscape/Plim)" "directory link after the upgrade"

# "no" to the upgrade, "yes" to the uninstall: all of it goes but another
# product's directory and the vendor directory holding it; no pluginlist, no
# line for it.
mkdir /home/alice/Fernhollow-Plim/Other
run alice $'n\ny' ./install
assert_eq 0 "$status" "uninstall through the questions"
assert_not_contains "$out" "pluginlist" "missing pluginlist"
assert_not_contains "$out" "has been uninstalled" "uninstall through the questions"
assert_eq Other "$(ls /home/alice/Fernhollow-Plim)" "vendor directory with another product"
for gone in .Plim/plugin.conf .netscape/Plim .netscape/plugins/nsplimmo.so; do
  assert_no_file "/home/alice/$gone"
done
rmdir /home/alice/Fernhollow-Plim/Other
run alice $'\n\ny\nn\nn' ./install
assert_eq 0 "$status" "installation after the uninstall"

# The installed copy removes everything, the empty vendor directory too.
touch /home/alice/.netscape/pluginlist
run alice "" "$idir/uninstall"
assert_eq 0 "$status" "uninstall"
assert_contains "$out" $'Remove:\t/home/alice/.netscape/pluginlist' "pluginlist removed"
assert_contains "$out" $'\n\nPlim has been uninstalled from your account.' "uninstall line"
for gone in .Plim/plugin.conf .netscape/Plim .netscape/plugins/nsplimmo.so .netscape/pluginlist Fernhollow-Plim; do
  assert_no_file "/home/alice/$gone"
done

kill "$alice_browser"

# dave has no home directory: no links, and the upgrade's removal skips them.
add_user dave >/dev/null
sed -i 's|^\(dave:[^:]*:[^:]*:[^:]*:[^:]*\):[^:]*:|\1::|' /etc/passwd
mkdir -m 755 /tmp/dave && chown dave: /tmp/dave
dave_browser=$(start_browser dave "$browser")
run dave $'/tmp/dave\n\ny\nn\nn' ./install
assert_eq 0 "$status" "dave's installation"
assert_contains "$out" $'Create:\tNetscape links\nError:\tNo home directory\n' "links without a home, in order with the message before it"
assert_not_contains "$out" $'Link:\t' "links without a home"
assert_no_file /.netscape
assert_file /tmp/dave/Fernhollow-Plim/NetscapePlugin/nsplimmo_libc6.so
run dave $'/tmp/dave\n\ny\nn\nn' ./install --upgrade
assert_eq 0 "$status" "dave's upgrade: $out"
assert_contains "$out" $'Remove:\tNetscape links\nRemove Recursive: /tmp/dave/' "removal without a home"
kill "$dave_browser"

# Root: a libc 5 browser run by bob, a libc 6 one by alice, one run by root.
old=$(install_stand_in /opt/ns5 5)
own=$(install_stand_in /opt/rootns)
bob_browser=$(start_browser bob "$old")
alice_browser=$(start_browser alice "$browser")
root_browser=$(start_browser root "$own")
: >"$PLIM_STAND_IN_LOG"
rdir=/opt/Fernhollow-Plim/NetscapePlugin
run root $'\n\ny\nn\ny' ./install
assert_eq 0 "$status" "root's installation: $out"
assert_eq "$rdir/nsplimmo_libc5.so" "$(readlink /opt/ns5/plugins/nsplimmo.so)" "libc 5 link"
assert_eq "$rdir/nsplimmo_libc6.so" "$(readlink /opt/netscape/plugins/nsplimmo.so)" "libc 6 link"
assert_eq "$rdir" "$(readlink /opt/ns5/Plim)" "root's directory link"
remote=$(cat "$PLIM_STAND_IN_LOG")
assert_contains "$remote" $'\truid=1501\teuid=1501\tHOME=/home/bob\tUSER=bob\tLOGNAME=bob' "refresh as bob"
assert_contains "$remote" $'\truid=1500\teuid=1500\tHOME=/home/alice\tUSER=alice\tLOGNAME=alice' "refresh as alice"
assert_contains "$remote" $'\truid=0\teuid=0\tHOME='"$HOME" "refresh of root's own browser with root's HOME"
assert_eq 3 "$(wc -l <"$PLIM_STAND_IN_LOG")" "one refresh per running browser"

kill "$alice_browser" "$bob_browser" "$root_browser"
pass
