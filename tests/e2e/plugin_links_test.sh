# The whole run with running stand-ins. alice installs (links, hard-linked
# libc 6 library, the refresh run as alice), runs again (no and no change
# nothing), and the installed "uninstall" removes it all. Root links into two
# browsers, libc 5 and libc 6, run by two users, and its own; the refresh
# runs each as its owner.
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

# The installed copy removes everything; another product's directory keeps
# the vendor directory.
touch /home/alice/.netscape/pluginlist
run alice "" "$idir/uninstall"
assert_eq 0 "$status" "uninstall"
assert_contains "$out" $'Remove:\t/home/alice/.netscape/pluginlist' "pluginlist removed"
assert_contains "$out" $'\n\nPlim has been uninstalled from your account.' "uninstall line"
for gone in .Plim/plugin.conf .netscape/Plim .netscape/plugins/nsplimmo.so .netscape/pluginlist Fernhollow-Plim; do
  assert_no_file "/home/alice/$gone"
done

# Root: a libc 5 browser run by bob, a libc 6 one by alice, one run by root.
kill "$alice_browser"
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
