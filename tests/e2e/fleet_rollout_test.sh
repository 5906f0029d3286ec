# The fleet roll-out of examples/ansible/rollout.yml on the three hosts of
# testing/fleet_hosts.ini (accounts, each with its browser running): alice and
# bob install while carol, whose prefix is a full disk, fails; every run log
# comes back. A second run changes nothing on alice and bob and tries carol
# again, though her settings file already names the version. A newer package,
# with room on carol's disk, upgrades alice and bob and completes carol.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

if ! command -v ansible-playbook >/dev/null; then
  # Into the sandbox's overlays: the machine itself is left as it is.
  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ansible-core) >/dev/null 2>&1
  command -v ansible-playbook >/dev/null || { echo "ansible-core cannot be installed; skipping" >&2; exit 77; }
fi
export ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=/tmp/ansible-local ANSIBLE_DEPRECATION_WARNINGS=false

work=$(mktemp -d /tmp/fleet.XXXXXX)
hosts=(alice bob carol)
for host in "${hosts[@]}"; do
  add_user "$host" >/dev/null
  start_browser "$host" "$(install_stand_in "/opt/netscape-$host")" >/dev/null
done
mkdir -p /opt/fleet/alice /opt/fleet/bob && chown alice: /opt/fleet/alice && chown bob: /opt/fleet/bob
small_disk /opt/fleet/carol 1m carol

# rollout PACKAGE: runs the playbook on the fleet; sets status.
rollout() {
  ansible-playbook -i "$PLIM_SOURCE_DIR/testing/fleet_hosts.ini" "$PLIM_SOURCE_DIR/examples/ansible/rollout.yml" \
    -e plim_package="$1" -e plim_log_dir="$work/logs" >"$work/out" 2>&1
  status=$?
}

# expect_recap HOST CHANGED FAILED: the host's counts in the play recap;
# CHANGED "some" for any number but 0.
expect_recap() {
  local line changed
  line=$(grep -E "^$1 +:" "$work/out") || fail "no recap for $1: $(cat "$work/out")"
  changed=$(grep -oP 'changed=\K\d+' <<<"$line")
  [[ $2 == some && $changed != 0 || $2 == "$changed" ]] || fail "$1 changed $changed tasks, expected $2: $line"
  assert_contains "$line" "failed=$3" "recap of $1"
}

# expect_installed HOST VERSION: HOST's settings file and plug-in link.
expect_installed() {
  assert_eq "prefix='/opt/fleet/$1' version='$2'" \
    "$(grep -e ^prefix= -e ^version= "/home/$1/.Plim/plugin.conf" | paste -sd ' ')" "settings of $1"
  assert_eq "/opt/fleet/$1/Fernhollow-Plim/NetscapePlugin" "$(readlink "/home/$1/.netscape/Plim")" "plug-in link of $1"
}

rollout "$PLIM_BUILD_DIR/demo/install"
assert_eq 2 "$status" "status of the first roll-out (a host failed)"
expect_recap alice some 0
expect_recap bob some 0
expect_recap carol some 1
assert_contains "$(cat "$work/out")" "No space left on device" "carol's failure"
expect_installed alice 3.2.5.3
expect_installed bob 3.2.5.3
for host in "${hosts[@]}"; do
  cmp -s "$work/logs/$host.log" "/var/tmp/plim-$host/install.log" || fail "the run log of $host did not come back"
  e2e_ok
done
assert_contains "$(cat "$work/logs/carol.log")" $'Create:\t/opt/fleet/carol/Fernhollow-Plim/NetscapePlugin/uninstall' \
  "carol's run log"
assert_contains "$(cat /home/carol/.Plim/plugin.conf)" "version='3.2.5.3'" "carol's settings file, written before the failure"

rollout "$PLIM_BUILD_DIR/demo/install"
assert_eq 2 "$status" "status of the second roll-out"
expect_recap alice 0 0
expect_recap bob 0 0
expect_recap carol some 1

make_payload "$work"
make_package "$work/install" "$INSTALLER" "$work/license.txt.gz" "$work/Plim.tar.gz" "3 3 0 1"
mount -o remount,size=64m /opt/fleet/carol || fail "cannot enlarge carol's disk"
rollout "$work/install"
assert_eq 0 "$status" "status of the upgrade: $(tail -20 "$work/out")"
for host in "${hosts[@]}"; do
  expect_recap "$host" some 0
  expect_installed "$host" "3.3 beta 1"
  cmp -s "$work/tree/nsplimmo_libc6.so" "/opt/fleet/$host/Fernhollow-Plim/NetscapePlugin/nsplimmo_libc6.so" ||
    fail "$host has not the new plug-in"
  e2e_ok
  assert_contains "$(cat "$work/logs/$host.log")" "A previous installation of the plugin has been found" "$host's upgrade"
done
pass
