# shellcheck shell=bash
# The fleet roll-out of examples/ansible/rollout.yml over SSH to the six hosts
# of testing/fleet_hosts.ini, each its own namespaces with sshd and sudo. The
# first run installs where a browser runs (an account's or root's) or is
# named, upgrades the older installation, fails on the full disk and reports
# the host without sshd unreachable; every run log comes back, no browser is
# told to reload and no package copy stays behind. A tree and a link deleted
# by hand make their hosts install again: check mode predicts the second run
# exactly and changes nothing; the second run changes nothing where the
# installation is complete. A package that does not match its checksum stops
# the play everywhere before it is copied; the newer one upgrades every host.
# A package that ends 0 but leaves a broken link fails its host; plim_force
# reinstalls, plim_refresh reloads the browsers. Removal, predicted by check
# mode, takes the plug-in away, and a second removal changes nothing.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/fleet_hosts.sh"
fleet_install_tools ||
  { echo "ansible-core, openssh-server or sudo cannot be installed; skipping" >&2; exit 77; }
fleet_enter_network "$0" "$@"
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"

export ANSIBLE_PIPELINING=1 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=/tmp/ansible-local \
  ANSIBLE_DEPRECATION_WARNINGS=false

work=$(mktemp -d /tmp/fleet.XXXXXX)
hosts=(user-browser root-browser no-browser full-disk older down)
installed=(user-browser root-browser no-browser older)  # by the first run
reached=("${hosts[@]:0:5}")
install_dir=/opt/plim/Fernhollow-Plim/NetscapePlugin
stage=/var/lib/plim-rollout
previous="A previous installation of the plugin has been found"
fleet_init "$work"
for i in "${!hosts[@]}"; do
  fleet_host_up "${hosts[i]}" $((11 + i))
  install_stand_in "$(fleet_host_root "${hosts[i]}")/opt/netscape" >/dev/null
done
in_host user-browser "$PLIM_SOURCE_DIR/testing/create_account" alice >/dev/null || fail "no alice"
# A browser told to reload notes it in /tmp/remote.log of its host.
for host in user-browser root-browser; do
  in_host "$host" sh -c 'echo PLIM_STAND_IN_LOG=/tmp/remote.log >/etc/plim-stand-in.conf' ||
    fail "cannot set up the stand-in of $host"
done
fleet_start_browser user-browser alice /opt/netscape/netscape
fleet_start_browser root-browser root /opt/netscape/netscape
in_host full-disk mkdir /opt/plim &&
  in_host full-disk mount -t tmpfs -o size=128k,mode=0755 small /opt/plim ||
  fail "cannot make the small disk of full-disk"
fleet_stop_sshd down

make_payload "$work"
package_v1=$PLIM_BUILD_DIR/demo/install  # 3.2.5.3
make_package "$work/older" "$INSTALLER" "$work/license.txt.gz" "$work/Plim.tar.gz" "3 1 0 0"
make_package "$work/newer" "$INSTALLER" "$work/license.txt.gz" "$work/Plim.tar.gz" "3 3 0 1"
# The vendor's mistake: no libc 6 library, to which root still links.
mkdir "$work/broken" && cp -r "$work/tree" "$work/broken/tree" && rm "$work/broken/tree/nsplimmo_libc6.so" &&
  tar -C "$work/broken/tree" -czf "$work/broken/Plim.tar.gz" . || fail "cannot make the broken archive"
make_package "$work/broken/install" "$INSTALLER" "$work/license.txt.gz" "$work/broken/Plim.tar.gz" "3 4 0 0"
cp "$work/older" "$(fleet_host_root older)/tmp/install"
printf '\ny\nn\nn\n' | in_host older /tmp/install --prefix=/opt/plim --netscape=/opt/netscape/netscape \
  >/dev/null 2>&1 ||
  fail "cannot install the older version on older"

# rollout PACKAGE [ARG...]: runs the playbook on the fleet with PACKAGE and its
# checksum; sets status.
rollout() {
  local package=$1
  shift
  ansible-playbook -i "$PLIM_SOURCE_DIR/testing/fleet_hosts.ini" \
    "$PLIM_SOURCE_DIR/examples/ansible/rollout.yml" \
    "${FLEET_SSH[@]}" --forks 6 -e plim_package="$package" -e plim_log_dir="$work/logs" \
    -e plim_package_sha256="$(sha256sum "$package" | cut -d' ' -f1)" "$@" >"$work/out" 2>&1
  status=$?
}

# recap HOST: the host's line of the play recap.
recap() { grep -E "^$1 +:" "$work/out" || fail "no recap for $1: $(cat "$work/out")"; }

# sorted WORD...: the words in the recap's order, one line.
sorted() { printf '%s\n' "$@" | sort | paste -sd' '; }

# changed_hosts: the hosts whose recap counts a change, one line, sorted.
changed_hosts() {
  grep -E '^\S+ +:.* changed=[1-9]' "$work/out" | cut -d' ' -f1 | paste -sd' '
}

# acted_hosts: the hosts whose recap counts a change or a failure: those
# where the run acted, whether it succeeded or not.
acted_hosts() {
  grep -E '^\S+ +:.* (changed|failed)=[1-9]' "$work/out" | cut -d' ' -f1 | paste -sd' '
}

# expect_recap HOST COUNTS...: each of COUNTS ("failed=0") in HOST's recap.
expect_recap() {
  local line count
  line=$(recap "$1")
  for count in "${@:2}"; do assert_contains "$line" " $count " "recap of $1"; done
}

# check_rollout PACKAGE [ARG...]: the roll-out in check mode, which must
# change no file on any host; sets status and predicted (as changed_hosts).
check_rollout() {
  local host
  for host in "${reached[@]}"; do in_host "$host" touch /tmp/before-check; done
  rollout "$@" --check
  predicted=$(changed_hosts)
  for host in "${reached[@]}"; do
    assert_eq "" "$(in_host "$host" find /etc/Plim /opt/plim /opt/netscape "$stage" \
      -newer /tmp/before-check)" "files the check changed on $host"
  done
}

# expect_installed HOST VERSION: the settings file, the link and the plug-in
# library beside the browser, as root installs them on HOST.
expect_installed() {
  local root
  root=$(fleet_host_root "$1")
  assert_eq "prefix='/opt/plim' version='$2'" \
    "$(grep -e ^prefix= -e ^version= "$root/etc/Plim/plugin.conf" | paste -sd ' ')" "settings of $1"
  assert_eq "$install_dir" "$(readlink "$root/opt/netscape/Plim")" "plug-in link of $1"
  assert_ok "the plug-in library in the browser of $1 ($(ls -l "$root/opt/netscape/plugins" 2>&1))" \
    in_host "$1" cmp -s /opt/netscape/plugins/nsplimmo.so "$install_dir/nsplimmo_libc6.so"
}

# expect_log_back HOST: the run log of HOST came back.
expect_log_back() {
  assert_ok "the run log of $1 came back" cmp -s "$work/logs/$1.log" "$(fleet_host_root "$1")$stage/install.log"
}

# expect_complete HOST VERSION: the installation of VERSION on HOST as
# expect_installed, its log back, the role's record made and its package copy
# gone.
expect_complete() {
  local root
  root=$(fleet_host_root "$1")
  expect_installed "$1" "$2"
  expect_log_back "$1"
  assert_eq "prefix='/opt/plim' version='$2'" "$(paste -sd ' ' "$root$stage/installed")" "record of $1"
  assert_no_file "$root$stage/install"
}

rollout "$package_v1"
assert_eq 4 "$status" "status of the first roll-out (a host failed, one unreachable): $(tail -30 "$work/out")"
# The options answered: no licence paged, no answer read.
for host in "${installed[@]}"; do
  expect_recap "$host" failed=0
  expect_complete "$host" 3.2.5.3
  assert_contains "$(cat "$work/logs/$host.log")" $'Accept:\tLicense, by option --accept-license' \
    "the run log of $host"
  assert_not_contains "$(cat "$work/logs/$host.log")" "Please press Enter" "the run log of $host"
done
# plim_refresh is off by default: the running browsers were not told.
for host in user-browser root-browser; do
  assert_no_file "$(fleet_host_root "$host")/tmp/remote.log"
done
assert_eq "$(sorted "${installed[@]}")" "$(changed_hosts)" "hosts changed by the first roll-out"
assert_eq "$(sorted "${installed[@]}" full-disk)" "$(acted_hosts)" "hosts the first roll-out acted on"
expect_recap full-disk failed=1
expect_log_back full-disk
assert_contains "$(cat "$work/out")" "No space left on device" "the failure of full-disk"
assert_contains "$(cat "$work/logs/full-disk.log")" $'Create:\t'"$install_dir/uninstall" \
  "the run log of full-disk"
expect_recap down unreachable=1
assert_no_file "$work/logs/down.log"
assert_contains "$(cat "$work/logs/older.log")" "$previous" "older's upgrade"
assert_contains "$(cat "$work/logs/no-browser.log")" $'Check:\tFor a running instance' "no-browser's run"

# Check mode: the same package again predicts a change on full-disk and on
# the hosts where a tree or a link went by hand.
in_host user-browser rm -r "$install_dir" && in_host root-browser rm /opt/netscape/plugins/nsplimmo.so ||
  fail "cannot delete parts of two installations"
check_rollout "$package_v1"
assert_eq 4 "$status" "status of the check (down unreachable): $(tail -30 "$work/out")"
assert_eq "full-disk root-browser user-browser" "$predicted" \
  "hosts the check predicts to change: $(grep -B3 -A8 'changed:' "$work/out")"

rollout "$package_v1"
assert_eq 4 "$status" "status of the second roll-out"
assert_eq "$predicted" "$(acted_hosts)" "hosts the second roll-out acted on"
assert_eq "root-browser user-browser" "$(changed_hosts)" "hosts changed by the second roll-out"
expect_recap full-disk failed=1
for host in user-browser root-browser; do expect_complete "$host" 3.2.5.3; done

# A package other than the one meant: no host gets it.
cp "$work/newer" "$work/tampered" && printf 'x' >>"$work/tampered"
rollout "$work/tampered" -e plim_package_sha256="$(sha256sum "$work/newer" | cut -d' ' -f1)"
assert_eq 2 "$status" "status of the roll-out of a package that does not match"
assert_contains "$(cat "$work/out")" "has the SHA-256 $(sha256sum "$work/tampered" | cut -d' ' -f1)" \
  "the mismatch"
for host in "${hosts[@]}"; do expect_recap "$host" changed=0 failed=1; done
for host in "${reached[@]}"; do
  if [[ $host == full-disk ]]; then
    assert_ok "$host keeps the first package, not the one that does not match" \
      cmp -s "$package_v1" "$(fleet_host_root "$host")$stage/install"
  else
    assert_no_file "$(fleet_host_root "$host")$stage/install"
  fi
done

in_host full-disk mount -o remount,size=64m /opt/plim || fail "cannot enlarge the disk of full-disk"
rollout "$work/newer"
assert_eq 4 "$status" "status of the upgrade: $(tail -30 "$work/out")"
for host in "${reached[@]}"; do
  expect_recap "$host" failed=0
  expect_complete "$host" "3.3 beta 1"
  # The link's target is the host's path: read through the host.
  assert_ok "$host has the new plug-in" \
    cmp -s "$work/tree/nsplimmo_libc6.so" <(in_host "$host" cat /opt/netscape/plugins/nsplimmo.so)
  if [[ $host == full-disk ]]; then
    # Its first installation failed whole: there was nothing to upgrade.
    assert_not_contains "$(cat "$work/logs/$host.log")" "$previous" "$host's first installation"
  else
    assert_contains "$(cat "$work/logs/$host.log")" "$previous" "$host's upgrade"
  fi
done
assert_eq "$(sorted "${reached[@]}")" "$(changed_hosts)" "hosts changed by the upgrade"

# The installer ends 0 with the link to the missing library dangling: the
# host fails, and the record does not claim the installation.
rollout "$work/broken/install" --limit user-browser
assert_eq 2 "$status" "status of the roll-out of the broken package: $(tail -30 "$work/out")"
expect_recap user-browser failed=1
assert_contains "$(cat "$work/out")" "/opt/netscape/plugins/nsplimmo.so" "the broken link reported"
assert_no_file "$(fleet_host_root user-browser)$stage/installed"
expect_log_back user-browser

# plim_force installs again where nothing is missing; plim_refresh tells the
# running browser.
rollout "$work/newer" --limit user-browser,older -e plim_force=true -e plim_refresh=true
assert_eq 0 "$status" "status of the forced roll-out: $(tail -30 "$work/out")"
assert_eq "older user-browser" "$(changed_hosts)" "hosts changed by the forced roll-out"
for host in user-browser older; do
  expect_complete "$host" "3.3 beta 1"
  assert_contains "$(cat "$work/logs/$host.log")" "$previous" "$host's forced installation"
done
assert_contains "$(cat "$(fleet_host_root user-browser)/tmp/remote.log")" "$install_dir" \
  "the refresh of user-browser's browser"

check_rollout "$work/newer" -e plim_state=absent
assert_eq "$(sorted "${reached[@]}")" "$predicted" "hosts the check predicts to remove from"
rollout "$work/newer" -e plim_state=absent
assert_eq 4 "$status" "status of the removal: $(tail -30 "$work/out")"
assert_eq "$predicted" "$(changed_hosts)" "hosts changed by the removal"
for host in "${reached[@]}"; do
  root=$(fleet_host_root "$host")
  for path in /etc/Plim/plugin.conf /opt/plim/Fernhollow-Plim /opt/netscape/Plim \
    /opt/netscape/plugins/nsplimmo.so "$stage/install" "$stage/installed"; do
    assert_no_file "$root$path"
  done
  assert_contains "$(cat "$work/logs/$host.uninstall.log")" \
    "Remove Recursive: /opt/plim/Fernhollow-Plim/NetscapePlugin" "$host's removal"
done
rollout "$work/newer" -e plim_state=absent
assert_eq 4 "$status" "status of the second removal"
assert_eq "" "$(changed_hosts)" "hosts changed by the second removal"
pass
