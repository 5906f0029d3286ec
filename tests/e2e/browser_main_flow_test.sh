# The installer's browser step: the search through /proc, its report when no
# browser is found, and (as a package, whose signature is the ELF magic) the
# running stand-in found.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

work=$(mktemp -d /tmp/browser.XXXXXX)
chmod 755 "$work"
cp "$INSTALLER" "$work/install"
alice=$(add_user alice)
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

# As a package the installer carries the ELF magic as its signature and
# finds alice's browser. (A file named "package" would build packages, so the
# package gets another name.)
echo licence | gzip -9 >"$work/license.txt.gz"
tar -C "$work" -czf "$work/Plim.tar.gz" license.txt.gz
make_package "$work/plim-setup" "$INSTALLER" "$work/license.txt.gz" "$work/Plim.tar.gz"
out=$(cd "$work" && ./plim-setup </dev/null 2>&1)
assert_contains "$out" "$(printf 'Found:\tNetscape as %s linked to libc.so.6' "$exe")" "found by the package"
assert_contains "$out" "Check: if $exe is Netscape" "check line"
[[ $out != *"Netscape is not running"* ]] || fail "the package reported no browser"
assert_contains "$(cat "$work/plim-setup.log")" "$(printf 'Found:\tNetscape as %s' "$exe")" "found in the run log"

pass
