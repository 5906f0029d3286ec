# shellcheck shell=bash
# The demo package the build made, end to end: alice installs it, a second
# run upgrades it (the settings from the first, yes to the upgrade), the
# installed copy removes it, and extract mode unpacks it. Then `make demo`'s
# script, without a terminal, passes its checks, and ends with status 1 for a
# package that lacks the viewer.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export PLIM_STAND_IN_LOG=/tmp/remote.log
install -m 666 /dev/null "$PLIM_STAND_IN_LOG"
stand_in_settings "PLIM_STAND_IN_LOG=$PLIM_STAND_IN_LOG"

package=$PLIM_BUILD_DIR/demo/install
tree=$PLIM_BUILD_DIR/demo/tree
licence=$(gzip -dc "$PLIM_BUILD_DIR/demo/license.txt.gz")
e2e_workdir demo-package
add_user alice >/dev/null
chown alice: "$work" && cp "$package" "$work/install" || fail "cannot copy the package"
start_browser alice "$(install_stand_in /opt/netscape)" >/dev/null
idir=/home/alice/Fernhollow-Plim/NetscapePlugin

# installs INPUT WHAT: alice runs the package with INPUT; it ends with 0 and
# leaves the whole tree, linked into her browser directory.
installs() {
  out=$(as_user alice "$work/install" <<<"$1" 2>&1)
  assert_eq 0 $? "status of the $2: $out"
  assert_ok "$2: the files as in the payload" diff -r --exclude=license.txt --exclude=uninstall "$tree" "$idir"
  assert_eq "$licence" "$(cat "$idir/license.txt")" "$2: licence"
  # The uninstaller is the package's own executable image, the first of its
  # three lengths in the trailer.
  assert_ok "$2: uninstall as the package's executable image" \
    cmp -s <(head -c "$(tail -c 12 "$package" | od -An -tu4 -N4)" "$package") "$idir/uninstall"
  assert_eq "$(stat -c %i "$idir/nsplimmo_libc6.so")" "$(stat -c %i /home/alice/.netscape/plugins/nsplimmo.so)" "$2: plug-in link"
}

installs $'\n\ny\nn\nn' "installation"
touch "$idir/left-from-before"
installs $'y\n\ny\nn\nn' "upgrade"
assert_contains "$out" $'A previous installation of the plugin has been found at:\n\t'"$idir" "upgrade question"
assert_no_file "$idir/left-from-before"
assert_contains "$(cat /home/alice/.Plim/plugin.conf)" "version='3.2.5.3'" "settings file after the upgrade"

assert_status 0 as_user alice "$idir/uninstall" >/dev/null
for gone in Fernhollow-Plim .Plim/plugin.conf .netscape/Plim .netscape/plugins/nsplimmo.so; do
  assert_no_file "/home/alice/$gone"
done

# Root extracts into a directory of its own: one of alice's would be refused.
extracted=$(mktemp -d /tmp/demo-extracted.XXXXXX)/extracted
assert_status 0 "$package" --extract="$extracted" >/dev/null
assert_ok "the extracted files as in the payload" diff -r --exclude=license.txt "$tree" "$extracted"
assert_eq "$licence" "$(cat "$extracted/license.txt")" "extracted licence"

# `make demo` without a terminal, in sandboxes of its own.
out=$("$PLIM_SOURCE_DIR/testing/demo" </dev/null 2>&1)
assert_eq 0 $? "status of the demo: $out"
assert_contains "$out" "checks passed" "the demo's verdict"
assert_not_contains "$out" "FAILED" "the demo"

# The licence declined: one line saying so and the demo's own status 2, not
# a row of failed checks.
out=$(PLIM_DEMO_ANSWERS='\n\nn\n' "$PLIM_SOURCE_DIR/testing/demo" </dev/null 2>&1)
assert_eq 2 $? "status of the demo with the licence declined"
assert_contains "$out" "demo: the licence was declined, so nothing was installed" "the demo's verdict"
assert_not_contains "$out" "FAILED" "the demo with the licence declined"

# `make demo` by an ordinary user: told at once that it needs root, before
# anything is built.
out=$(as_user alice make --no-print-directory -C "$PLIM_SOURCE_DIR" demo 2>&1)
assert_eq 2 $? "status of make demo run by alice"
assert_contains "$out" "only root can make; run it as root" "make demo by alice"
assert_not_contains "$out" "cmake" "make demo by alice"

# A build whose demo package lacks the viewer: the demo says which check
# failed and ends with 1.
bad=$work/bad-build
mkdir -p "$bad/demo" "$work/payload" && ln -s "$PLIM_BUILD_DIR/testing" "$bad/testing" &&
  tar -C "$extracted" --exclude=license.txt --exclude=plview -czf "$work/payload/Plim.tar.gz" . ||
  fail "cannot make the payload without the viewer"
make_package "$bad/demo/install" "$INSTALLER" "$PLIM_BUILD_DIR/demo/license.txt.gz" "$work/payload/Plim.tar.gz"
out=$(PLIM_BUILD_DIR=$bad "$PLIM_SOURCE_DIR/testing/demo" </dev/null 2>&1)
assert_eq 1 $? "status of the demo with a package lacking the viewer"
assert_contains "$out" "FAILED: installed: uninstall, license.txt and the archive's 13 files" "the failed check"
assert_contains "$out" "demo: 1 of " "the demo's verdict"
pass
