# shellcheck shell=bash
# The sandbox's promises, checked from inside: the overlaid and fresh
# directories take writes, everything else of the host refuses them, every
# account's home lies inside the overlays, and the PID namespace shows only
# the sandbox's own processes. sandbox_isolation_outside.sh runs this
# scenario with a marker and then checks the host for traces of it.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

marker=${SANDBOX_MARKER:-plim-isolation-$$-$RANDOM}
account=${SANDBOX_ACCOUNT:-isol$RANDOM}

# Writable inside; sandbox_isolation_outside.sh checks none of it is outside.
for dir in /etc /home /root /opt /usr /var /tmp /run /dev/shm; do
  echo "$marker" >"$dir/$marker" || fail "cannot write in $dir inside the sandbox"
  assert_eq "$marker" "$(cat "$dir/$marker")" "$dir/$marker"
done
uid=$(add_user "$account")
assert_contains "$(getent passwd "$account")" ":$uid:$uid::/home/$account:" "password entry of $account"
assert_file "/home/$account"

# Everything else of the host is read-only: /, the trees the tests run from,
# and every top-level directory that is neither overlaid nor fresh.
read_only=(/ "$PLIM_SOURCE_DIR" "$PLIM_BUILD_DIR" "$PLIM_SOURCE_DIR/testing" /dev)
for dir in /*; do
  [[ -d $dir && ! -L $dir ]] || continue
  case $dir in
    /etc|/home|/root|/opt|/usr|/var|/tmp|/run|/dev|/proc|/sys) ;;
    *) read_only+=("$dir") ;;
  esac
done
for dir in "${read_only[@]}"; do
  error=$( { : >"$dir/$marker"; } 2>&1 )
  assert_contains "$error" "Read-only file system" "creating a file in $dir"
  assert_no_file "$dir/$marker"
done
error=$( { echo 1 >/proc/sys/kernel/printk_ratelimit; } 2>&1 )
assert_contains "$error" "Read-only file system" "writing a kernel setting"

# Root's MIME update walks every home of the password database.
while IFS=: read -r name _ _ _ _ home _; do
  [[ $home =~ ^/(etc|home|root|opt|usr|var|tmp)(/|$) ]] ||
    fail "the home of $name, $home, lies outside the overlays"
  e2e_ok
done < <(getent passwd)

# PID namespace: the sandbox's first process is the runner, and the host's
# processes are invisible.
assert_contains "$(tr '\0' ' ' </proc/1/cmdline)" "--inside-sandbox" "process 1"
processes=(/proc/[0-9]*)
((${#processes[@]} < 20)) || fail "${#processes[@]} processes visible inside the sandbox"
e2e_ok

# A detached process that would outlive this scenario on a real machine; the
# sandbox must take it down when it ends.
setsid bash -c "exec -a $marker-orphan sleep 600" </dev/null >/dev/null 2>&1 &
pass
