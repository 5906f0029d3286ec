# A browser whose executable was replaced after it started (its exe link in
# /proc names a deleted file) is found again through its command line,
# cut at white space until it names a file.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

use_probe
alice=$(add_user alice)

# Started with one first string "/opt/ns/netscape -geometry 800x600", then
# the executable is replaced by a fresh copy (a new file of the same name).
exe=$(install_stand_in /opt/ns)
pid=$(start_browser alice "$exe" "/opt/ns/netscape -geometry 800x600")
rm "$exe"
install_stand_in /opt/ns >/dev/null
assert_eq "$exe (deleted)" "$(readlink /proc/$pid/exe)" "the exe link names a deleted file"

out=$(as_user alice "$work/probe" --own-signature --search 2>&1)
assert_eq "$(printf '%s\t%s\t6\t/opt/ns/' "$exe" "$alice")" "$(entry "$exe" | cut -f1-4)" \
  "found through the command line, cut at its blanks"
assert_eq "$(stat -c $'%d\t%i' "$exe")" "$(entry "$exe" | cut -f5-)" "identity of the file now there"

# Removed and not replaced: nothing names a file, nothing is found.
gone=$(install_stand_in /opt/gone)
start_browser alice "$gone" "/opt/gone/netscape -geometry 800x600" >/dev/null
rm "$gone"
out=$(as_user alice "$work/probe" --own-signature --search 2>&1)
assert_eq "" "$(entry "$gone")" "no file of that name"
assert_eq 1 "$(grep -c '^entry' <<<"$out")" "only the replaced browser"

pass
