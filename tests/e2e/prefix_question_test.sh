# The prefix question of an installation: an empty line accepts the default,
# a missing directory is created on "y", a missing parent, a regular file and
# a relative answer lead back to the question with the "Invalid directory"
# line, and end of input ends the run with "No prefix directory" (status 1).
# Each run stops at the licence question (end of input counts as no).
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

work=$(mktemp -d /tmp/prefix.XXXXXX)
chmod 755 "$work"
cd "$work" || fail "cd $work"
make_payload "$work"
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz
browser=$(install_stand_in /opt/netscape)
umask 022

question=$'Where would you do you wish to install the Plim(tm) plugin.\nA subdirectory of ./Fernhollow-Plim will automatically be created.\n'

# ask INPUT [USER]: runs the installer with the browser named, feeding INPUT.
ask() {
  local input=$1 user=${2:-root}
  if [[ $user == root ]]; then
    ./install --netscape="$browser" <<<"$input" >out 2>err
  else
    as_user "$user" ./install --netscape="$browser" <<<"$input" >out 2>err
  fi
  status=$?
  out=$(cat out) err=$(cat err; echo .)  # keep the final line ends
}

# Root is offered /opt; an empty line takes it.
ask ""
assert_eq 1 "$status" "status after declining the licence"
assert_contains "$out" "${question}[/opt] : " "the question with root's default"
assert_contains "$out" "prefix='/opt'" "settings printout"
assert_eq "drwxr-xr-x" "$(stat -c %A /opt/Fernhollow-Plim/NetscapePlugin)" "install directory made"
assert_not_contains "$err" "Invalid directory" "errors"

# A missing directory is created on "y" (mode 0755), with the two below it.
ask $'/opt/newprefix\ny'
assert_eq "drwxr-xr-x" "$(stat -c %A /opt/newprefix)" "prefix created"
assert_file /opt/newprefix/Fernhollow-Plim/NetscapePlugin
assert_contains "$out" "Create Directory? (y/n) " "offer to create"
assert_contains "$out" "prefix='/opt/newprefix'" "settings printout"

# A missing parent: the creation fails, the question returns; then the default.
ask $'/opt/nope/deeper\ny\n'
assert_contains "$err" $'mkdir: No such file or directory\nError:\tInvalid directory \'/opt/nope/deeper\'\n\n' \
  "missing parent"
assert_no_file /opt/nope
assert_eq 2 "$(grep -c '^\[/opt\] : ' <<<"$out")" "questions asked"

# A regular file, a relative answer, one with a leading blank, a missing
# directory not to be created; then the default.
touch /opt/afile
ask $'/opt/afile\nrelative/dir\n /opt\n/opt/refused\nn\n'
assert_contains "$err" $'/opt/afile is not a directory\nError:\tInvalid directory \'/opt/afile\'\n\n' "regular file"
assert_contains "$err" $'\n\nError:\tInvalid directory \'relative/dir\'\n\nError:\tInvalid directory \' /opt\'\n\n' \
  "relative answer, leading blank"
assert_contains "$err" $'\n\nError:\tInvalid directory \'/opt/refused\'\n\n' "creation refused"
assert_no_file /opt/refused
assert_eq 5 "$(grep -c '^\[/opt\] : ' <<<"$out")" "questions asked"
assert_contains "$(cat install.log)" $'Error:\tInvalid directory \'relative/dir\'\n' "run log"
assert_no_file "$work/relative"

./install --netscape="$browser" </dev/null >out 2>err
assert_eq 1 $? "status at end of input"
assert_contains "$(cat err)" "$(printf 'No prefix directory\n\nUse the command\n\t./install --help\nfor a listing of options')" \
  "end of input"

# An ordinary user is offered the home directory.
add_user alice >/dev/null
chmod 755 "$work"
chmod 666 "$work/install.log"
ask "" alice
assert_contains "$out" "${question}[/home/alice] : " "the question with the user's default"
assert_file /home/alice/Fernhollow-Plim/NetscapePlugin

pass
