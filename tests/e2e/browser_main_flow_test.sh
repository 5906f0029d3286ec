# The installer's browser step: the search through /proc and its report when
# no browser is found (a bare installer identifies nothing). A package finding
# the running stand-in is the installation scenarios' settings printout.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

work=$(mktemp -d /tmp/browser.XXXXXX)
chmod 755 "$work"
cp "$INSTALLER" "$work/install"
add_user alice >/dev/null
exe=$(install_stand_in /usr/local/netscape)
start_browser alice "$exe" >/dev/null

# A bare installer identifies nothing, so the search finds no browser.
status=0
out=$(cd "$work" && ./install </dev/null 2>&1) || status=$?
assert_eq 1 "$status" "no browser: exit status"
assert_contains "$out" "$(printf 'Search:\tFor a running instance of Netscape')" "search line"
assert_contains "$out" "$(printf 'Error:\tNetscape is not running\nPlease start netscape normally, and then execute %s\n' "'./install'")" \
  "not-running report"
assert_contains "$out" "$(printf 'Use the command\n\t./install --help\nfor a listing of options')" "hint"
assert_contains "$(cat "$work/install.log")" "$(printf 'Error:\tNetscape is not running')" "report in the run log"

pass
