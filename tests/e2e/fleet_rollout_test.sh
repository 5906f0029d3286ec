# The fleet roll-out of examples/ansible/rollout.yml on the hosts of
# testing/fleet_hosts.ini (accounts; the two ordinary ones each with a
# browser running): root and alice install while carol, whose prefix is
# a full disk, fails; every run log comes back. A second run changes nothing
# on the good hosts and tries carol again, though her settings file already
# names the version. A newer package, with room on carol's disk, upgrades the
# good hosts and completes carol.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

if ! command -v ansible-playbook >/dev/null; then
  # Into the sandbox's overlays: the machine itself is left as it is.
  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ansible-core) >/dev/null 2>&1
  command -v ansible-playbook >/dev/null || { echo "ansible-core cannot be installed; skipping" >&2; exit 77; }
fi
export ANSIBLE_PIPELINING=1 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=/tmp/ansible-local ANSIBLE_DEPRECATION_WARNINGS=false

work=$(mktemp -d /tmp/fleet.XXXXXX)
hosts=(root alice carol)
for host in "${hosts[@]:1}"; do
  add_user "$host" >/dev/null
  start_browser "$host" "$(install_stand_in "/opt/netscape-$host")" >/dev/null
done
mkdir -p /opt/fleet/root /opt/fleet/alice && chown alice: /opt/fleet/alice
small_disk /opt/fleet/carol 128k carol

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

# expect_installed HOST VERSION: HOST's settings file and plug-in link (root's
# in a browser home, another account's in its own browser directory).
expect_installed() {
  local conf=/home/$1/.Plim/plugin.conf link=/home/$1/.netscape/Plim
  [[ $1 == root ]] && conf=/etc/Plim/plugin.conf link=/opt/netscape-alice/Plim
  assert_eq "prefix='/opt/fleet/$1' version='$2'" \
    "$(grep -e ^prefix= -e ^version= "$conf" | paste -sd ' ')" "settings of $1"
  assert_eq "/opt/fleet/$1/Fernhollow-Plim/NetscapePlugin" "$(readlink "$link")" "plug-in link of $1"
}

rollout "$PLIM_BUILD_DIR/demo/install"
assert_eq 2 "$status" "status of the first roll-out (a host failed)"
for host in root alice; do
  expect_recap "$host" some 0
  expect_installed "$host" 3.2.5.3
done
expect_recap carol some 1
assert_contains "$(cat "$work/out")" "No space left on device" "carol's failure"
for host in "${hosts[@]}"; do
  cmp -s "$work/logs/$host.log" "/var/tmp/plim-$host/install.log" || fail "the run log of $host did not come back"
  e2e_ok
done
assert_contains "$(cat "$work/logs/carol.log")" $'Create:\t/opt/fleet/carol/Fernhollow-Plim/NetscapePlugin/uninstall' \
  "carol's run log"
assert_contains "$(cat /home/carol/.Plim/plugin.conf)" "version='3.2.5.3'" "carol's settings file, written before the failure"

rollout "$PLIM_BUILD_DIR/demo/install"
assert_eq 2 "$status" "status of the second roll-out"
for host in root alice; do expect_recap "$host" 0 0; done
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
