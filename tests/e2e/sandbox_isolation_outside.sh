# shellcheck shell=bash
# Runs on the real machine, outside the sandbox: lets the isolation scenario
# write files everywhere it may, create an account and leave a detached
# process behind, then proves that none of it reached this machine; and that
# killing the sandbox runner (a CTest timeout) kills what runs inside.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

[[ $(id -u) -eq 0 ]] || { echo "needs root; skipping"; exit 77; }
SANDBOX=$PLIM_SOURCE_DIR/testing/sandbox
marker=plim-isolation-$$-$RANDOM-$(date +%s)
account=isol$$

# Processes whose command line starts with NAME (the runner's own command
# line mentions the name further on).
no_process_with() { ! pgrep -f -- "^$1" >/dev/null; }
some_process_with() { pgrep -f -- "^$1" >/dev/null; }
mount_points() { awk '{ print $5, $6 }' /proc/self/mountinfo; }

written=(/etc /home /root /opt /usr /var /tmp /run /dev/shm / "$PLIM_SOURCE_DIR" "$PLIM_BUILD_DIR")
for dir in "${written[@]}"; do
  [[ ! -e $dir/$marker ]] || fail "$dir/$marker exists before the test"
done
! getent passwd "$account" >/dev/null || fail "account $account exists before the test"
mounts_before=$(mount_points)

assert_status 0 "$SANDBOX" -- env SANDBOX_MARKER="$marker" SANDBOX_ACCOUNT="$account" \
  bash "$PLIM_SOURCE_DIR/tests/e2e/sandbox_isolation_test.sh"

for dir in "${written[@]}"; do
  assert_no_file "$dir/$marker"
done
assert_status 2 getent passwd "$account"
assert_no_file "/home/$account"
assert_status 0 eventually no_process_with "$marker-orphan"

# A sandbox killed from outside takes its processes along.
"$SANDBOX" -- bash -c "echo >/etc/$marker-killed
  setsid bash -c 'exec -a $marker-held sleep 600' </dev/null >/dev/null 2>&1 &
  exec sleep 600" &
runner=$!
assert_status 0 eventually some_process_with "$marker-held"
kill -KILL "$runner"
wait "$runner" 2>/dev/null
assert_status 0 eventually no_process_with "$marker-held"
assert_no_file "/etc/$marker-killed"
assert_eq "$mounts_before" "$(mount_points)" "the host's mount table"

# The options: a fresh ordinary account (the first free uid from 1500) with
# its own home, and a small disk it owns that fills up.
uid=1500
while getent passwd "$uid" >/dev/null; do ((uid++)); done
# The inner shell expands the variables, as the account sees them.
# shellcheck disable=SC2016
report=$("$SANDBOX" --user "$account" --home /tmp/homes/$account --small-disk /tmp/full:64k -- \
  bash -c 'echo "$(id -u) $(id -g) $HOME $USER $LOGNAME"
    stat -c "%U %a" "$HOME" /tmp/full
    head -c 100k /dev/zero >/tmp/full/fill 2>&1 && echo filled || echo disk full
    stat -c %s /tmp/full/fill')
assert_eq "$uid $uid /tmp/homes/$account $account $account
$account 755
$account 755
disk full
65536" "$report" "account, home and small disk inside"
assert_status 2 getent passwd "$account"
assert_status 7 "$SANDBOX" -- bash -c 'exit 7'
pass
