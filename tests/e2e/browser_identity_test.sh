# One entry per executable file however often it is reached; a named browser
# takes the owner of the first process seen running it; the check walk stops
# at the first running listed browser.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

use_probe
alice=$(add_user alice)
bob=$(add_user bob)

# Two processes of the same executable, and a link to it: one entry.
first=$(install_stand_in /opt/first)
ln -s "$first" /opt/first/netscape-link
start_browser alice "$first" >/dev/null
start_browser bob "$first" >/dev/null
out=$(probe --lists /opt/first/netscape-link - --search 2>&1)
assert_eq 1 "$(grep -c '^entry' <<<"$out")" "same executable through a link and two processes"
assert_eq /opt/first/netscape-link "$(entry /opt/first/netscape-link | cut -f1)" "the path as named first"
assert_contains "$out" $'result\tlists\t1' "the link was added"
assert_contains "$(entry /opt/first/netscape-link | cut -f2)" "$alice" "owner taken when found running"

# A named browser without a running process keeps owner -1.
idle=$(install_stand_in /opt/idle)
out=$(probe --lists "$idle" - --search 2>&1)
assert_eq "-1" "$(entry "$idle" | cut -f2)" "named, never seen running"

# The check walk: two listed browsers run; only the first met is marked and
# the walk stops there.
second=$(install_stand_in /opt/second)
start_browser bob "$second" >/dev/null
out=$(probe --lists "$second:$idle" - --mark 2>&1)
assert_contains "$out" $'result\tmark\t1' "a listed browser runs"
assert_eq "$bob" "$(entry "$second" | cut -f2)" "the running one is marked"
assert_eq "-1" "$(entry "$idle" | cut -f2)" "the idle one is not"
out=$(probe --lists "$first:$second" - --mark 2>&1)
assert_eq 1 "$(grep -c 'Found:.running instance of' <<<"$out")" "only one running instance recorded"
assert_contains "$out" "$(printf 'Found:\trunning instance of %s' "$first")" "the first met in /proc"
assert_eq "$alice" "$(entry "$first" | cut -f2)" "the first process of the walk gives the owner"
assert_eq "-1" "$(entry "$second" | cut -f2)" "the walk stopped before the second browser"
out=$(probe --lists "$idle" - --mark 2>&1)
assert_contains "$out" $'result\tmark\t0' "no listed browser runs"

pass
