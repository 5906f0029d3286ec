#!/usr/bin/env bash
# The roll-out of examples/ansible/rollout.yml against the bare loop an
# administrator would write instead: for each host, scp of the package, then
# ssh HOST sudo with the same answers (one host after the other, and all hosts
# at once). A first installation on 6 and 24 hosts (PLIM_BENCH_HOSTS), with as
# many forks as hosts, PLIM_BENCH_ROUNDS rounds (default 2) that alternate the
# order of the methods (loop first in odd rounds, role first in even ones).
# The hosts are those of the e2e scenario (testing/fleet_hosts.sh: namespaces
# of their own, sshd, sudo), each with a stand-in browser named by
# plim_netscape, inside the sandbox. Prints each wall time with the load
# average before it and, for the role, from Ansible's junit callback, the
# median time per host of its tasks. Between two runs the hosts are cleared
# by hand, which is quicker than a removal.
#   bench/fleet_scale.sh [BUILD_DIR]     (as root)
set -uo pipefail
counts=${PLIM_BENCH_HOSTS:-6 24}
rounds=${PLIM_BENCH_ROUNDS:-2}
# Another rollout.yml to time beside the role, right after it (an earlier
# version of the role, for a before and after on the same machine load).
baseline=${PLIM_BENCH_BASELINE:-}

if [[ ${1:-} == --inside ]]; then
  source "$PLIM_SOURCE_DIR/testing/fleet_hosts.sh"
  fleet_install_tools
  fleet_enter_network "$0" "$@"
  source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
  source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
  export ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=/tmp/ansible-local ANSIBLE_DEPRECATION_WARNINGS=false \
    ANSIBLE_CALLBACKS_ENABLED=junit
  work=$(mktemp -d /tmp/fleet-bench.XXXXXX)
  fleet_init "$work"
  most=$(tr ' ' '\n' <<<"$counts" | sort -n | tail -1)
  for ((i = 1; i <= most; i++)); do
    fleet_host_up "host$i" $((10 + i))
    install_stand_in "$(fleet_host_root "host$i")/opt/netscape" >/dev/null
  done
  ssh_options=(-i "$work/id_deploy" -o UserKnownHostsFile="$work/known_hosts" -o StrictHostKeyChecking=yes)
  # SSH set-up alone: a fresh connection (no shared master) that runs true.
  start=$EPOCHREALTIME
  for i in $(seq 10); do
    ssh -o ControlMaster=no -o ControlPath=none "${ssh_options[@]}" deploy@$FLEET_NET.11 true ||
      fail "no SSH to host1"
  done
  echo "SSH connection and login, mean of 10: $(bc <<<"scale=3; ($EPOCHREALTIME - $start) / 10") s"
  package=$PLIM_BUILD_DIR/demo/install
  echo "package: $(stat -c %s "$package") bytes, nproc $(nproc); $(ansible-playbook --version | sed -n 1p)"
  # The answers both methods give: the unattended options where the
  # installer has them, else the answers on standard input.
  command=(./install --prefix=/opt/plim --netscape=/opt/netscape/netscape)
  if "$INSTALLER" --help 2>&1 | grep -q -e --accept-license; then
    command+=(--accept-license --mime=no --refresh=no) answers=""
  else
    answers=$'\ny\nn\nn\n'
  fi

  # loop_host N: the loop's work for host N. The command line is meant to
  # expand here, as it stands.
  # shellcheck disable=SC2029
  loop_host() {
    scp -q "${ssh_options[@]}" "$package" "deploy@$FLEET_NET.$((10 + $1)):install" &&
      printf '%s' "$answers" |
      ssh "${ssh_options[@]}" "deploy@$FLEET_NET.$((10 + $1))" sudo "${command[@]}" >/dev/null 2>&1
  }
  # timed WHAT CMD...: runs CMD and prints its wall time, per host, and the
  # load average before it; CMD must succeed.
  timed() {
    local what=$1 load start seconds
    shift
    load=$(cut -d' ' -f1 /proc/loadavg)
    start=$EPOCHREALTIME
    "$@" || fail "$what on $count hosts failed"
    seconds=$(bc <<<"$EPOCHREALTIME - $start")
    printf '%2d hosts, round %d, %-16s %6.1f s, %5.2f s per host; load average before %s\n' \
      "$count" "$round" "$what:" "$seconds" "$(bc -l <<<"$seconds / $count")" "$load"
  }
  sequential_loop() {
    local i
    for ((i = 1; i <= count; i++)); do loop_host "$i" || return; done
  }
  parallel_loop() {
    local i status=0
    for ((i = 1; i <= count; i++)); do loop_host "$i" & done
    for ((i = 1; i <= count; i++)); do wait -n || status=1; done
    return "$status"
  }
  # role PLAYBOOK
  role() {
    rm -rf "$work/junit"
    JUNIT_OUTPUT_DIR=$work/junit ANSIBLE_PIPELINING=1 ansible-playbook -v -i "$work/inventory.ini" \
      "$1" "${FLEET_SSH[@]}" --forks "$count" \
      -e plim_package="$package" -e plim_package_sha256="$(sha256sum "$package" | cut -d' ' -f1)" \
      -e plim_log_dir="$work/logs" >"$work/out" 2>&1 ||
      { tail -20 "$work/out"; return 1; }
  }
  # The median time per host of the role's tasks.
  role_tasks() {
    python3 - "$work"/junit/*.xml <<'EOF'
import re, statistics, sys, xml.etree.ElementTree as ET
times = {}
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    name = re.sub(r" \w+=.*", "", case.get("name")).split(": plim : ")[-1]
    times.setdefault(name, []).append(float(case.get("time")))
for name, values in sorted(times.items(), key=lambda item: -sum(item[1])):
    print(f"    {statistics.median(values):6.2f} s per host  {name}")
EOF
  }
  clear_hosts() {
    local i
    for ((i = 1; i <= count; i++)); do
      in_host "host$i" rm -rf /opt/plim /etc/Plim /var/lib/plim-rollout /var/tmp/plim-rollout /opt/netscape/Plim \
        /opt/netscape/plugins/nsplimmo.so /home/deploy/install /home/deploy/install.log
    done
  }

  for count in $counts; do
    {
      echo "[plim_hosts]"
      for ((i = 1; i <= count; i++)); do echo "host$i ansible_host=$FLEET_NET.$((10 + i))"; done
      echo "[plim_hosts:vars]"
      echo "ansible_user=deploy"
      echo "ansible_python_interpreter=/usr/bin/python3"
      echo "plim_netscape=['/opt/netscape/netscape']"
      echo "plim_prefix=/opt/plim"
    } >"$work/inventory.ini"
    for ((round = 1; round <= rounds; round++)); do
      if ((round % 2)); then order=(loop role); else order=(role loop); fi
      for method in "${order[@]}"; do
        if [[ $method == loop ]]; then
          timed "loop, one by one" sequential_loop
          clear_hosts
          timed "loop, all at once" parallel_loop
        else
          timed "role" role "$PLIM_SOURCE_DIR/examples/ansible/rollout.yml"
          role_tasks
          if [[ -n $baseline ]]; then
            clear_hosts
            timed "earlier role" role "$baseline"
            role_tasks
          fi
        fi
        clear_hosts
      done
    done
  done
  E2E_DONE=1
  exit 0
fi

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${PLIM_BUILD_DIR:-$source_dir/build}}" && pwd)
status=0
PLIM_BUILD_DIR=$build PLIM_SOURCE_DIR=$source_dir PLIM_BENCH_HOSTS=$counts PLIM_BENCH_ROUNDS=$rounds \
  PLIM_BENCH_BASELINE=$baseline \
  "$source_dir/testing/sandbox" -- bash "$source_dir/bench/fleet_scale.sh" --inside || status=$?
[[ $status -eq 77 ]] && echo "fleet_scale: no sandbox here (not root?), skipped" && status=0
exit "$status"
