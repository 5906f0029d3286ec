#!/usr/bin/env bash
# How the roll-out of examples/ansible/rollout.yml grows with the fleet: a
# first installation on 6, 12 and 24 hosts (PLIM_BENCH_HOSTS), each with
# Ansible's default 5 forks and with as many forks as hosts. The hosts are those of
# the e2e scenario (testing/fleet_hosts.sh: namespaces of their own, sshd,
# sudo), each with a stand-in browser named by plim_netscape, inside the
# sandbox. Prints the wall time of each roll-out and, from Ansible's junit
# callback, the median time per host of its costly tasks. Between two runs
# the hosts are cleared by hand, which is quicker than a removal.
#   bench/fleet_scale.sh [BUILD_DIR]     (as root)
set -uo pipefail
counts=${PLIM_BENCH_HOSTS:-6 12 24}

if [[ ${1:-} == --inside ]]; then
  source "$PLIM_SOURCE_DIR/testing/fleet_hosts.sh"
  fleet_enter_network "$0" "$@"
  source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
  source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
  export ANSIBLE_PIPELINING=1 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=/tmp/ansible-local \
    ANSIBLE_DEPRECATION_WARNINGS=false ANSIBLE_CALLBACKS_ENABLED=junit
  work=$(mktemp -d /tmp/fleet-bench.XXXXXX)
  fleet_init "$work"
  most=$(tr ' ' '\n' <<<"$counts" | sort -n | tail -1)
  for ((i = 1; i <= most; i++)); do
    fleet_host_up "host$i" $((10 + i))
    install_stand_in "/proc/$(fleet_host_pid "host$i")/root/opt/netscape" >/dev/null
  done
  # SSH set-up alone: a fresh connection (no shared master) that runs true.
  start=$EPOCHREALTIME
  for i in $(seq 10); do
    ssh -o ControlMaster=no -o ControlPath=none -i "$work/id_deploy" \
      -o UserKnownHostsFile="$work/known_hosts" \
      deploy@$FLEET_NET.11 true || fail "no SSH to host1"
  done
  echo "SSH connection and login, mean of 10: $(bc <<<"scale=3; ($EPOCHREALTIME - $start) / 10") s"
  package=$PLIM_BUILD_DIR/demo/install
  echo "package: $(stat -c %s "$package") bytes, nproc $(nproc);" \
    "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  for count in $counts; do
    {
      echo "[plim_hosts]"
      for ((i = 1; i <= count; i++)); do echo "host$i ansible_host=$FLEET_NET.$((10 + i))"; done
      echo "[plim_hosts:vars]"
      echo "ansible_user=deploy"
      echo "ansible_python_interpreter=/usr/bin/python3"
      echo "plim_netscape=['/opt/netscape/netscape']"
    } >"$work/inventory.ini"
    for forks in 5 "$count"; do
      rm -rf "$work/junit"
      start=$EPOCHREALTIME
      JUNIT_OUTPUT_DIR=$work/junit ansible-playbook -v -i "$work/inventory.ini" \
        "$PLIM_SOURCE_DIR/examples/ansible/rollout.yml" "${FLEET_SSH[@]}" --forks "$forks" \
        -e plim_package="$package" -e plim_package_sha256="$(sha256sum "$package" | cut -d' ' -f1)" \
        -e plim_log_dir="$work/logs" >"$work/out" 2>&1 ||
        fail "the roll-out to $count hosts failed: $(tail -20 "$work/out")"
      printf '%2d hosts, %2d forks: %6.1f s; load average %s\n' "$count" "$forks" \
        "$(bc <<<"$EPOCHREALTIME - $start")" "$(cut -d' ' -f1 /proc/loadavg)"
      python3 - "$work"/junit/*.xml <<'EOF'
import re, statistics, sys, xml.etree.ElementTree as ET
times = {}
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    name = re.sub(r" \w+=.*", "", case.get("name")).split(": plim : ")[-1]
    times.setdefault(name, []).append(float(case.get("time")))
for name, values in sorted(times.items(), key=lambda item: -sum(item[1]))[:6]:
    print(f"    {statistics.median(values):6.2f} s per host  {name}")
EOF
      # The installer's own run on each host, as the command module timed it.
      grep -F '"--prefix=' "$work/out" | grep -oP '"delta": "0:00:\K[0-9.]+' | sort -n |
        awk '{ t[NR] = $1 }
          END { printf "    %6.2f s per host  (the installer itself, median)\n", t[int((NR + 1) / 2)] }'
      for ((i = 1; i <= count; i++)); do
        in_host "host$i" rm -rf /opt/plim /etc/Plim /var/tmp/plim-rollout /opt/netscape/Plim \
          /opt/netscape/plugins/nsplimmo.so
      done
    done
  done
  E2E_DONE=1
  exit 0
fi

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${PLIM_BUILD_DIR:-$source_dir/build}}" && pwd)
status=0
PLIM_BUILD_DIR=$build PLIM_SOURCE_DIR=$source_dir \
  "$source_dir/testing/sandbox" -- bash "$source_dir/bench/fleet_scale.sh" --inside || status=$?
[[ $status -eq 77 ]] && echo "fleet_scale: no sandbox here (not root?), skipped" && status=0
exit "$status"
