# An installation in a real terminal (tmux): clear clears the screen before
# every question, less pages the licence and is quit at once with "q". The
# licence is far larger than a screen and than the pipes (1 MB each) between
# the installer, gunzip and less, so the installer is still writing when less
# quits: it must take the broken pipe as the end of the licence and go on to
# the acceptance question, not die of SIGPIPE. Answers are typed; the run
# reaches the unpacking and ends with status 0.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm
command -v tmux >/dev/null || { echo "tmux is not installed; skipping" >&2; E2E_DONE=1; exit 77; }

work=$(mktemp -d /tmp/terminal.XXXXXX)
cd "$work" || fail "cd $work"
{
  echo "PLIM LICENCE AGREEMENT"
  base64 -w 76 </dev/urandom | head -c 6000000
  echo
} >licence.txt
gzip -1c licence.txt >license.txt.gz
(($(stat -c %s license.txt.gz) > 3 * 1048576)) || fail "the compressed licence is smaller than the two pipes"
e2e_ok
mkdir members && make_payload "$work/members"
make_package "$work/install" "$INSTALLER" license.txt.gz members/Plim.tar.gz
browser=$(install_stand_in /opt/netscape)
browser_pid=$(start_browser root "$browser")

rule="+---------------------------------------------------------------------------+"
sock=$work/tmux.sock
tmux_() { tmux -S "$sock" "$@"; }
screen() { tmux_ capture-pane -p -t plim; }
keys() { tmux_ send-keys -t plim "$@"; }

# wait_for TEXT WHAT: polls the screen until TEXT shows, for at most 5 s, or
# until the installer has ended without showing it. The screen has no
# trailing blanks, so neither has TEXT.
wait_for() {
  local tries text=${1% } ended=""
  for tries in $(seq 100); do
    [[ $(screen) == *"$text"* ]] && { e2e_ok; return; }
    [[ -n $ended ]] && fail "$2: the installer ended with status $ended before [$1] showed; the screen:
$(screen)"
    [[ -s $work/status ]] && ended=$(cat "$work/status")  # one more look at the screen
    sleep 0.05
  done
  fail "$2: [$1] did not show within 5 s; the screen:
$(screen)"
}

# first_line_is_rule WHAT: the screen was cleared and the banner is on top.
first_line_is_rule() { assert_eq "$rule" "$(screen | head -1)" "$1"; }

# The pane keeps the installer's status; it stays open afterwards so that the
# last screen can be read.
tmux_ -f /dev/null new-session -d -s plim -x 80 -y 24 \
  "cd '$work' && TERM=xterm ./install; echo \$? >'$work/status'; exec sleep 600"

wait_for "[/opt] : " "prefix question"
first_line_is_rule "screen cleared before the prefix question"
keys Enter
wait_for "Please press Enter to view the license Agreement ..." "licence prompt"
assert_contains "$(screen)" "prefix='/opt'"$'\n'"netscape='$browser'" "settings printout"
keys Enter
wait_for "PLIM LICENCE AGREEMENT" "less showing the licence"
assert_eq "less -eM" "$(pgrep -a -x less | cut -d' ' -f2-)" "the pager's command line"
keys q
wait_for "Do you accept the Plim(tm) Plugin license agreement? (y/n) " "acceptance question after quitting less"
first_line_is_rule "screen cleared before the acceptance question"
assert_not_contains "$(screen)" "PLIM LICENCE" "the screen under the acceptance question"
assert_no_file "$work/status"
keys y Enter
wait_for "Do you wish to update all mime.types and mailcap files? (y/n) " "MIME question after the unpacking"
keys n Enter
wait_for "Do you wish to refresh the plugin lists for running browsers? (y/n) " "refresh question"
keys n Enter
for tries in $(seq 100); do [[ -s $work/status ]] && break; sleep 0.05; done
assert_eq 0 "$(cat "$work/status" 2>/dev/null)" "status of the run"

idir=/opt/Fernhollow-Plim/NetscapePlugin
cmp -s licence.txt "$idir/license.txt" || fail "license.txt differs from the licence text"
e2e_ok
assert_eq "-rwxr-xr-x" "$(stat -c %A "$idir/uninstall")" "mode of uninstall"
assert_file "$idir/nsplimmo_libc6.so"
assert_eq "" "$(find "$idir" -name '*.gz')" "compressed files left"
log=$(cat install.log)
assert_contains "$log" $'View:\tLicense\n' "licence shown, in the run log"
assert_not_contains "$log" "Error:" "the run log"

tmux_ kill-server
kill "$browser_pid"
pass
