# The search through /proc finds stand-in browsers run by ordinary users,
# with executable, owner, libc character and home; MOZILLA_HOME in the
# environment moves the home; other users' processes are skipped silently;
# a program that is not a package identifies nothing.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

use_probe
alice=$(add_user alice)
bob=$(add_user bob)
identity() { stat -L -c $'%d\t%i' "$1"; }

# A browser in its own home, run by alice without MOZILLA_HOME.
plain=$(install_stand_in /usr/local/netscape)
start_browser alice "$plain" >/dev/null
# A browser whose directory is no browser home, told its home by MOZILLA_HOME.
mkdir -p /opt/bin /opt/ns/plugins /opt/ns/java && touch /opt/ns/XKeysymDB
cp "$(stand_in_path 5)" /opt/bin/communicator && chmod 755 /opt/bin/communicator
start_browser alice /opt/bin/communicator /opt/bin/communicator MOZILLA_HOME=/opt/ns >/dev/null
# A browser in a good home whose MOZILLA_HOME names a directory that is not
# one: the directory test is made on MOZILLA_HOME, so it is not found.
misled=$(install_stand_in /opt/misled)
mkdir -p /opt/nohome/plugins
start_browser bob "$misled" "$misled" MOZILLA_HOME=/opt/nohome >/dev/null
# Root's browser, whose /proc files alice cannot read.
rooted=$(install_stand_in /opt/rootns)
start_browser root "$rooted" >/dev/null

out=$(as_user alice "$work/probe" --own-signature --search 2>"$work/alice.err")
err=$(cat "$work/alice.err")
assert_contains "$out" $'result\tsearch\t1' "search result"
assert_eq "$(printf '%s\t%s\t6\t%s\t%s' "$plain" "$alice" /usr/local/netscape/ "$(identity "$plain")")" \
  "$(entry "$plain")" "browser without MOZILLA_HOME: home is its directory with a slash"
assert_eq "$(printf '%s\t%s\t5\t%s\t%s' /opt/bin/communicator "$alice" /opt/ns "$(identity /opt/bin/communicator)")" \
  "$(entry /opt/bin/communicator)" "MOZILLA_HOME is the home"
assert_eq "" "$(entry "$misled")" "MOZILLA_HOME that is no browser home"
assert_eq "" "$(entry "$rooted")" "root's browser is not seen by alice"
assert_eq 2 "$(grep -c '^entry' <<<"$out")" "alice sees two browsers"
assert_eq "$(printf 'Found:\tNetscape as %s linked to libc.so.5\nFound:\tNetscape as %s linked to libc.so.6' \
  /opt/bin/communicator "$plain")" "$(sort <<<"$err")" "alice's search prints only its two Found lines"
assert_contains "$out" "Check: if $plain is Netscape" "check line"

# Root reads every process: all three browsers, each with its owner.
out=$(probe --search 2>/dev/null)
assert_eq 3 "$(grep -c '^entry' <<<"$out")" "root sees three browsers"
assert_eq "$alice" "$(entry "$plain" | cut -f2)" "owner of alice's browser"
assert_eq 0 "$(entry "$rooted" | cut -f2)" "owner of root's browser"

# The probe as it is, a bare executable: its signature is zero and nothing,
# not even a running stand-in, is identified; self-inspection's progress line
# is all it prints before the result.
out=$("$work/probe" --search 2>&1)
assert_eq $'Find:\tSelf info\nresult\tsearch\t0' "$out" "a bare executable identifies nothing and checks no file"

# The stand-ins answer a remote command with one line in their log and
# exit 0: by PLIM_STAND_IN_LOG, or else remote.log beside the executable.
as_user alice env PLIM_STAND_IN_LOG=/tmp/remote-alice.log /opt/bin/communicator --remote 'openFile(/x,PlimPlugin)'
assert_eq 0 "$?" "remote command status"
assert_eq "$(printf 'openFile(/x,PlimPlugin)\truid=%s\teuid=%s\tHOME=/home/alice\tUSER=alice\tLOGNAME=alice' "$alice" "$alice")" \
  "$(cat /tmp/remote-alice.log)" "remote command recorded for alice"
env -u PLIM_STAND_IN_LOG -u USER -u LOGNAME HOME=/root "$plain" --remote second
assert_eq "$(printf 'second\truid=0\teuid=0\tHOME=/root\tUSER=<unset>\tLOGNAME=<unset>')" \
  "$(cat /usr/local/netscape/remote.log)" "remote command recorded beside the executable"

pass
