# shellcheck shell=bash
# Helpers for scenarios that need browsers: sourced after testing/e2e_lib.sh,
# inside the sandbox (they install into /opt and start processes). A stand-in
# started with "--remote COMMAND" appends a line to the file its setting
# PLIM_STAND_IN_LOG names (from its environment or /etc/plim-stand-in.conf,
# see stand_in_settings), or else to "remote.log" beside the executable.

# stand_in_settings NAME=VALUE...: settings for every stand-in started from
# now on (PLIM_STAND_IN_LOG, _IDS, _SPY, _HANG), kept in the file it reads
# besides its environment: the installer starts it as another user with a
# fresh environment, which no longer carries them.
stand_in_settings() {
  printf '%s\n' "$@" >>/etc/plim-stand-in.conf && chmod 644 /etc/plim-stand-in.conf
}

# stand_in_path [LIBC]: the built stand-in browser for LIBC (6 or 5).
stand_in_path() {
  echo "$PLIM_BUILD_DIR/testing/stand_in_browser_libc${1:-6}"
}

# install_stand_in HOME [LIBC] [NAME] [SIBLING]: makes HOME a browser home
# ("plugins", "java" and SIBLING, by default "vreg") and copies the stand-in
# for LIBC into it as NAME (by default "netscape"); prints the path.
install_stand_in() {
  local home=$1 libc=${2:-6} name=${3:-netscape} sibling=${4:-vreg}
  mkdir -p "$home/plugins" "$home/java"
  chmod 755 "$home" "$home/plugins" "$home/java"
  [[ -e $home/$sibling ]] || touch "$home/$sibling"
  cp "$(stand_in_path "$libc")" "$home/$name"
  chmod 755 "$home/$name"
  echo "$home/$name"
}

# start_browser USER EXE [ARGV0 [VAR=VALUE...]]: starts EXE in the background
# as USER ("root" for root) with the given first argument and environment,
# waits until the process runs EXE, and prints its pid.
start_browser() {
  local user=$1 exe=$2 argv0=${3:-$2}
  local -a environment=("${@:4}")
  local pidfile
  pidfile=$(mktemp /tmp/browser-pid.XXXXXX)
  chmod 666 "$pidfile"
  # Expanded by the launcher's own shell, not this one.
  # shellcheck disable=SC2016
  local launcher='echo $$ > "$1"; shift; exe=$1 argv0=$2; shift 2; if [ $# -gt 0 ]; then export "$@"; fi; exec -a "$argv0" "$exe"'
  if [[ $user == root ]]; then
    bash -c "$launcher" launcher "$pidfile" "$exe" "$argv0" "${environment[@]}" </dev/null >/dev/null 2>&1 &
  else
    as_user "$user" bash -c "$launcher" launcher "$pidfile" "$exe" "$argv0" "${environment[@]}" \
      </dev/null >/dev/null 2>&1 &
  fi
  local pid=""
  for _ in $(seq 100); do
    pid=$(cat "$pidfile")
    [[ -n $pid && $(readlink "/proc/$pid/exe" 2>/dev/null) == "$(readlink -f "$exe")" ]] && break
    sleep 0.05
  done
  rm -f "$pidfile"
  [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$(readlink -f "$exe")" ]] ||
    fail "start_browser: $exe did not start as $user"
  echo "$pid"
}

# use_probe: copies the discovery probe to $work/probe, in a fresh directory
# every account can read; `probe ARGS` runs it with a package's signature and
# `entry EXE` gives the probe's line for EXE in $out, without "entry".
use_probe() {
  work=$(mktemp -d /tmp/browser.XXXXXX)
  chmod 755 "$work"
  cp "$PLIM_BUILD_DIR/testing/browser_probe" "$work/probe"
}
probe() { "$work/probe" --own-signature "$@"; }
# shellcheck disable=SC2154  # out: the probe's output, kept by the test that sources this
entry() { grep -P "^entry\t\Q$1\E\t" <<<"$out" | cut -f2-; }
