# Root installs into browsers whose directories it should not trust and
# refreshes browsers of users it should not outrank. Root's own browser with
# a separate MOZILLA_HOME keeps its links over an upgrade (the second run's
# "symlink" errors change nothing); beside its executable a directory that
# cannot be removed is set aside. A home without MOZILLA_HOME gives the
# doubled slash. bob's browser directory has "plugins" swapped for a link to
# a system directory, alice runs a browser with MOZILLA_HOME=/etc, and
# carol's account is gone while her browser runs: nothing lands in or leaves
# /etc, and each refresh runs with its owner's ids and groups only. Without
# the right to change groups, no browser of another user is run at all.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm PLIM_STAND_IN_LOG=/tmp/remote.log PLIM_STAND_IN_IDS=1
touch "$PLIM_STAND_IN_LOG" && chmod 666 "$PLIM_STAND_IN_LOG"

work=$(mktemp -d /tmp/rootlinks.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz

# run INPUT [CMD...]: root runs CMD (./install) with INPUT; sets status and out.
run() {
  local input=$1
  shift
  "${@:-./install}" <<<"$input" >out 2>&1
  status=$?
  out=$(cat out)
}
# ids NAME: what the stand-in logs for a command run as the account NAME.
ids() {
  local groups
  groups=$(id -G "$1" | tr ' ' ',')
  printf 'ruid=%s\teuid=%s\tHOME=/home/%s\tUSER=%s\tLOGNAME=%s\tgid=%s\tgroups=%s' \
    "$(id -u "$1")" "$(id -u "$1")" "$1" "$1" "$1" "$(id -g "$1")" "$groups"
}

for name in alice bob carol; do add_user "$name" >/dev/null; done
rdir=/opt/Fernhollow-Plim/NetscapePlugin

# Root's browsers: one with its home elsewhere, one in its own directory
# (home "/opt/plain/"). Beside the first executable, "Plim" holds a mount
# point (neither rm nor rmdir can take it) and "Plim~" an older entry.
own=$(install_stand_in /opt/rootns)
install_stand_in /opt/nshome >/dev/null
plain=$(install_stand_in /opt/plain)
small_disk /opt/rootns/Plim/busy 64k
echo older >/opt/rootns/Plim~
# bob's own directory, its "plugins" a link to a system directory.
bobs=$(install_stand_in /home/bob/ns)
chown -R bob: /home/bob/ns
rmdir /home/bob/ns/plugins && mkdir -m 755 /etc/victim && ln -s /etc/victim /home/bob/ns/plugins
chown -h bob: /home/bob/ns/plugins
# /etc made to look like a browser home, chosen by alice.
mkdir -p /etc/plugins /etc/java && touch /etc/vreg
alices=$(install_stand_in /opt/nsalice)
carols=$(install_stand_in /opt/nscarol)

pids=("$(start_browser root "$own" "$own" MOZILLA_HOME=/opt/nshome)" "$(start_browser root "$plain")"
  "$(start_browser bob "$bobs")" "$(start_browser alice "$alices" "$alices" MOZILLA_HOME=/etc)"
  "$(start_browser carol "$carols")")
carol_ids="ruid=$(id -u carol)"$'\t'"euid=$(id -u carol)"$'\t'"HOME=$HOME"$'\t'"USER=${USER-<unset>}"
carol_ids+=$'\t'"LOGNAME=${LOGNAME-<unset>}"$'\tgid=65534\tgroups='
sed -i '/^carol:/d' /etc/passwd

run $'\n\ny\nn\ny'
assert_eq 0 "$status" "root's first installation: $out"
assert_not_contains "$out" "has been uninstalled" "first installation"
# The directory that would not go is now the aside entry; the older one went.
assert_no_file /opt/rootns/Plim
assert_eq "busy" "$(ls /opt/rootns/Plim~)" "the set-aside directory"
assert_eq "$rdir" "$(readlink /opt/nshome/Plim)" "link under the separate home"
assert_eq "$rdir/nsplimmo_libc6.so" "$(readlink /opt/nshome/plugins/nsplimmo.so)" "library link there"
assert_contains "$out" $'Link:\t'"$rdir to /opt/plain//Plim"$'\n' "doubled slash before Plim"
assert_contains "$out" $'Link:\t'"$rdir/nsplimmo_libc6.so to /opt/plain//plugins/nsplimmo.so"$'\n' \
  "doubled slash before plugins"
assert_eq "$rdir" "$(readlink /opt/plain/Plim)" "link in the executable's directory"
# Nothing through bob's link or into alice's /etc; each link refused
# ("/etc/Plim" is root's settings directory already).
for link in /home/bob/ns//plugins/nsplimmo.so /etc/plugins/nsplimmo.so; do
  assert_contains "$out" $'to '"$link"$'\nsymlink: Permission denied\n' "link $link"
done
assert_eq "" "$(find /etc/victim /etc/plugins -mindepth 1)" "system directories after the installation"
# The refresh: root's two browsers as root, the others as their owners.
remote=$(cat "$PLIM_STAND_IN_LOG")
assert_eq 2 "$(grep -c $'\truid=0\teuid=0\tHOME='"$HOME" <<<"$remote")" "refresh of root's browsers"
for name in bob alice; do assert_contains "$remote" $'PlimPlugin)\t'"$(ids "$name")"$'\n' "refresh as $name"; done
assert_contains "$remote" $'PlimPlugin)\t'"$carol_ids" "refresh as carol's uid without an account"

# Second run: the upgrade removes beside the executables, so the links under
# /opt/nshome remain and are not made again; the system file seen through
# bob's link stays.
echo system >/etc/victim/nsplimmo.so
before=$(find /opt/nshome /etc/victim -printf '%p %i %l\n' | sort)
run $'y\n\ny\nn\nn'
assert_eq 0 "$status" "root's upgrade: $out"
for link in /opt/nshome/Plim /opt/nshome/plugins/nsplimmo.so; do
  assert_contains "$out" $' to '"$link"$'\nsymlink: File exists\n' "second link $link"
done
assert_eq "$before" "$(find /opt/nshome /etc/victim -printf '%p %i %l\n' | sort)" "links after the second run"
assert_eq system "$(cat /etc/victim/nsplimmo.so)" "system file behind bob's link"
assert_eq "" "$(ls -A /etc/plugins)" "alice's /etc after the upgrade"

# Without the right to change groups, the refresh runs none of the other
# users' browsers, each with the error and the failure line; root's still
# run, but not the one that stopped (listed by the settings file only).
: >"$PLIM_STAND_IN_LOG"
kill "${pids[1]}" && wait "${pids[1]}" 2>/dev/null
run $'y\n\ny\nn\ny' setpriv --bounding-set -setgid ./install
assert_eq 0 "$status" "upgrade without CAP_SETGID"
assert_not_contains "$out" $'Execute:\t'"$plain" "refresh of a browser that stopped"
for exe in "$bobs" "$alices"; do
  assert_contains "$out" $'initgroups: Operation not permitted\nFailed to execute '"$exe"$'\n' "refresh of $exe"
done
assert_contains "$out" $'setgroups: Operation not permitted\nFailed to execute '"$carols"$'\n' "refresh of carol's"
assert_eq 1 "$(wc -l <"$PLIM_STAND_IN_LOG")" "commands run without CAP_SETGID"
assert_eq 0 "$(grep -vc $'\truid=0\t' "$PLIM_STAND_IN_LOG")" "commands run as another user"
assert_eq "" "$(ls -A /etc/victim | grep -v '^nsplimmo.so$')" "bob's link after the upgrade"

kill "${pids[0]}" "${pids[@]:2}"
pass
