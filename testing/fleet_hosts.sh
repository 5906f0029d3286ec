# shellcheck shell=bash
# Test hosts for the fleet roll-out (tests/e2e/fleet_rollout_test.sh,
# bench/fleet_scale.sh): sourced after testing/e2e_lib.sh, as root inside the
# sandbox. Each host is its own set of mount, UTS, network and PID namespaces
# (testing/fleet_host_init) running a real sshd; the controller reaches it as
# "deploy" with a key over a private network, the bridge fleet0 with the
# documentation addresses 192.0.2.0/24, which lives in a network namespace of
# the controller's own: nothing leaves the sandbox.
#
#   fleet_install_tools              ansible-playbook, sudo and sshd, before the network
#   fleet_enter_network "$0" "$@"    first line of a script: re-runs it there
#   fleet_init WORK                  keys and known_hosts in WORK, the bridge
#   fleet_host_up NAME NUMBER        host NAME at 192.0.2.NUMBER, sshd running
#   fleet_host_root NAME             its tree, as the controller sees it (/proc/PID/root)
#   in_host NAME CMD...              runs CMD as root on the host
#   fleet_start_browser NAME USER EXE  a browser running there as USER
#   fleet_stop_sshd NAME             the host stays, its sshd goes

FLEET_NET=192.0.2
declare -A FLEET_PID=()

# Into the sandbox's overlays, when they are missing: the machine itself is
# left as it is. Before fleet_enter_network, whose private network reaches no
# package archive. Fails if they are still missing.
fleet_install_tools() {
  [[ -n ${FLEET_NETWORK:-} ]] && return
  PATH=$PATH:/usr/sbin
  fleet_has_tools && return
  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    ansible-core openssh-server sudo) >/dev/null 2>&1
  fleet_has_tools
}
fleet_has_tools() { { command -v ansible-playbook && command -v sudo && command -v sshd; } >/dev/null; }

fleet_enter_network() {
  [[ -n ${FLEET_NETWORK:-} ]] && return
  command -v sshd >/dev/null || PATH=$PATH:/usr/sbin
  export FLEET_NETWORK=private
  exec unshare --net -- bash "$@"
}

fleet_init() {
  FLEET_WORK=$1
  ip link set lo up && ip link add fleet0 type bridge && ip address add "$FLEET_NET.1/24" dev fleet0 &&
    ip link set fleet0 up || fail "cannot make the fleet's network"
  ssh-keygen -q -t ed25519 -N '' -C controller -f "$FLEET_WORK/id_deploy" || fail "cannot make the deploy key"
  : >"$FLEET_WORK/known_hosts"
  # What ansible-playbook needs to reach the hosts, beside the inventory.
  # shellcheck disable=SC2034  # for the scripts that source this
  FLEET_SSH=(--private-key "$FLEET_WORK/id_deploy"
    "--ssh-common-args=-o UserKnownHostsFile=$FLEET_WORK/known_hosts -o StrictHostKeyChecking=yes")
}

# The root of the host's first process, as the controller sees it.
fleet_host_root() { echo "/proc/${FLEET_PID[$1]:?no host $1}/root"; }

in_host() {
  local pid=${FLEET_PID[$1]:?no host $1}
  shift
  nsenter --target "$pid" --mount --uts --net --pid --wd=/ -- "$@"
}

fleet_host_up() {
  local name=$1 address=$FLEET_NET.$2 starter pid=""
  unshare --mount --uts --net --pid --fork --mount-proc --propagation private --kill-child -- \
    bash "$PLIM_SOURCE_DIR/testing/fleet_host_init" "$name" "$FLEET_WORK/id_deploy.pub" \
    </dev/null >"$FLEET_WORK/$name.init.log" 2>&1 &
  starter=$!
  for _ in $(seq 200); do
    [[ -z $pid ]] && pid=$(cat "/proc/$starter/task/$starter/children" 2>/dev/null) && pid=${pid% }
    [[ -n $pid && -e /proc/$pid/root/run/fleet-ready ]] && break
    sleep 0.05
  done
  [[ -n $pid && -e /proc/$pid/root/run/fleet-ready ]] ||
    fail "host $name did not start: $(cat "$FLEET_WORK/$name.init.log")"
  FLEET_PID[$name]=$pid
  # Interface names are at most 15 bytes: the host's number names its end.
  ip link add "fleet-$2" type veth peer name eth0 netns "$pid" &&
    ip link set "fleet-$2" master fleet0 up &&
    in_host "$name" ip address add "$address/24" dev eth0 &&
    in_host "$name" ip link set eth0 up && in_host "$name" ip link set lo up ||
    fail "cannot connect host $name"
  in_host "$name" /usr/sbin/sshd -E /run/sshd.log -o ListenAddress="$address" -o UsePAM=no \
    -o PasswordAuthentication=no -o PermitRootLogin=no -o PidFile=/run/sshd.pid ||
    fail "sshd does not start on $name: $(cat "/proc/$pid/root/run/sshd.log")"
  echo "$address $(cut -d' ' -f1,2 "/proc/$pid/root/etc/ssh/ssh_host_ed25519_key.pub")" \
    >>"$FLEET_WORK/known_hosts"
}

fleet_stop_sshd() {
  local root
  root=$(fleet_host_root "$1")
  in_host "$1" kill "$(cat "$root/run/sshd.pid")" || fail "cannot stop sshd on $1"
  while [[ -e $root/run/sshd.pid ]]; do sleep 0.05; done
}

# fleet_start_browser HOST USER EXE: starts EXE on HOST as USER (root or an
# account made there) in the background, as that user would from a desktop.
fleet_start_browser() {
  local host=$1 user=$2 exe=$3 home
  home=$(in_host "$host" getent passwd "$user" | cut -d: -f6)
  in_host "$host" setsid -f runuser -u "$user" -- env -i HOME="$home" \
    USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin "$exe" </dev/null >/dev/null 2>&1
  for _ in $(seq 100); do
    in_host "$host" pgrep -u "$user" -f "^$exe\$" >/dev/null && return
    sleep 0.05
  done
  fail "$exe does not run as $user on $host"
}
