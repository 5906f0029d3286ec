# shellcheck shell=bash
# An installation in a real terminal (tmux), answers typed. Every question
# stands alone on a freshly cleared screen under the banner, the welcome text
# only on the first. less pages the licence: one page forward, then "q". The
# licence is far larger than the pipes (1 MB each) between the installer,
# gunzip and less, so the installer is still writing when less quits: it must
# take the broken pipe as the end of the licence and go on, not die of
# SIGPIPE; the installed license.txt is whole all the same.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm
command -v tmux >/dev/null || { echo "tmux is not installed; skipping" >&2; E2E_DONE=1; exit 77; }

e2e_workdir terminal
{
  echo "PLIM LICENCE AGREEMENT"
  seq -f "licence line %g" 2 60
  base64 -w 76 </dev/urandom | head -c 6000000
  echo
} >licence.txt
gzip -1c licence.txt >license.txt.gz
(($(stat -c %s license.txt.gz) > 3 * 1048576)) || fail "the compressed licence is smaller than the two pipes"
mkdir members && make_payload "$work/members"
make_package "$work/install" "$INSTALLER" license.txt.gz members/Plim.tar.gz
browser=$(install_stand_in /opt/netscape)
start_browser root "$browser" >/dev/null

# The expected screens, one file each, in the order the run shows them.
screens=$PLIM_SOURCE_DIR/tests/e2e/install_terminal_screens
sock=$work/tmux.sock
tmux_() { tmux -S "$sock" "$@"; }
screen() { tmux_ capture-pane -p -t plim; }

# wait_for TEXT WHAT: polls the screen until TEXT shows, for at most 5 s, or
# until the installer has ended without showing it. The screen has no
# trailing blanks, so neither has TEXT.
wait_for() {
  local text=${1% } ended=""
  for _ in $(seq 100); do
    [[ $(screen) == *"$text"* ]] && return
    [[ -n $ended ]] && fail "$2: the installer ended with status $ended before [$1] showed; the screen:
$(screen)"
    [[ -s $work/status ]] && ended=$(cat "$work/status")  # one more look at the screen
    sleep 0.05
  done
  fail "$2: [$1] did not show within 5 s; the screen:
$(screen)"
}

# question NAME ANSWER: waits for the last line of the screen NAME, checks
# that the whole screen is that one (cleared, nothing left above), then types
# ANSWER.
question() {
  local expected
  expected=$(cat "$screens/$1")
  wait_for "${expected##*$'\n'}" "$1"
  assert_eq "$expected" "$(screen)" "the screen $1"
  [[ -z $2 ]] || tmux_ send-keys -t plim -l "$2"
  tmux_ send-keys -t plim Enter
}

# The pane keeps the installer's status; it stays open afterwards so that the
# last screen can be read.
tmux_ -f /dev/null new-session -d -s plim -x 80 -y 24 \
  "cd '$work' && TERM=xterm ./install; echo \$? >'$work/status'; exec sleep 600"

question 1-prefix ""
question 2-licence ""
wait_for "licence line 23" "less showing the first page"
first_page=$(screen)
assert_eq "PLIM LICENCE AGREEMENT" "$(head -1 <<<"$first_page")" "the first page starts the licence"
assert_eq "less -eM" "$(pgrep -a -x less | cut -d' ' -f2-)" "the pager's command line"
tmux_ send-keys -t plim Space
wait_for "licence line 46" "less showing the second page"
assert_not_contains "$(screen)" "PLIM LICENCE AGREEMENT" "the second page"
tmux_ send-keys -t plim q
question 3-accept y
question 4-mime n
question 5-refresh n
eventually test -s "$work/status"
assert_eq 0 "$(cat "$work/status" 2>/dev/null)" "status of the run"

assert_ok "license.txt as the licence text" cmp -s licence.txt /opt/Fernhollow-Plim/NetscapePlugin/license.txt
assert_eq 1 "$(grep -c $'^Print:\twelcome message$' install.log)" "welcome texts in the run log"
tmux_ kill-server
pass
