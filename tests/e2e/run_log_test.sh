# The run log of a package: "<program path>.log", beside the program however
# it was started, truncated at start, mode 0666 less the umask; and never
# opened through a link or FIFO planted at its name, so that root running an
# installer from a folder another user can write keeps that user's links
# from reaching root's files.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

scratch=$(mktemp -d)
bin=$scratch/bin work=$scratch/work
mkdir -p "$bin" "$work"
make_payload "$scratch"
make_package "$bin/plim-installer" "$INSTALLER" "$scratch/license.txt.gz" "$scratch/Plim.tar.gz"

# run NAME CMD...: runs the installer without input, output in $scratch/NAME.*;
# a run blocked on its log would hit the timeout (status 124).
run() {
  local name=$1
  shift
  timeout 20 "$@" </dev/null >"$scratch/$name.out" 2>"$scratch/$name.err"
}

# Every line of the log was also printed, and the log starts with the first
# line printed on standard output.
assert_log_matches_run() {
  local log=$1 name=$2 line
  [[ -s $log ]] || fail "$log is empty after run $name"
  assert_eq "$(head -n1 "$scratch/$name.out")" "$(head -n1 "$log")" "first line of $log"
  while IFS= read -r line; do
    grep -qxF -- "$line" "$scratch/$name.out" "$scratch/$name.err" ||
      fail "log line [$line] of run $name was not printed"
  done <"$log"
  e2e_ok
}

stale_log() { head -c 100000 /dev/zero | tr '\0' 'x' >"$1"; echo "stale-log-line" >>"$1"; }

cd "$work"
run absolute "$bin/plim-installer"
status=$?
assert_no_file "$work/plim-installer.log"
assert_log_matches_run "$bin/plim-installer.log" absolute

# Through a relative path, over a stale log: truncated, beside the program.
stale_log "$bin/plim-installer.log"
run relative ../bin/plim-installer
assert_eq "$status" "$?" "status through a relative path"
assert_no_file "$work/plim-installer.log"
assert_log_matches_run "$bin/plim-installer.log" relative

# By bare name through PATH the program path has no directory, so the log is
# created in the current directory; the program still finds its own file.
rm "$bin/plim-installer.log"
stale_log "$work/plim-installer.log"
PATH=$bin:$PATH run bare plim-installer
assert_eq "$status" "$?" "status through PATH"
assert_no_file "$bin/plim-installer.log"
assert_log_matches_run "$work/plim-installer.log" bare

# Mode 0666 less the umask.
for case in 000:666 027:640; do
  rm -f "$bin/plim-installer.log"
  (umask "${case%:*}" && run "umask${case%:*}" "$bin/plim-installer")
  assert_eq "${case#*:}" "$(stat -c %a "$bin/plim-installer.log")" "log mode under umask ${case%:*}"
done

# Planted links: root runs an installer from another user's folder.
add_user mallory >/dev/null
downloads=/home/mallory/Downloads
as_user mallory mkdir "$downloads"
cp "$bin/plim-installer" "$downloads/plim-installer"
log=$downloads/plim-installer.log
run baseline "$downloads/plim-installer"
baseline_status=$?
rm "$log"

# Root's file, on the download folder's file system for the hard link.
precious=/home/root-precious
printf 'root only\n' >"$precious"
chmod 600 "$precious"
precious_stamp=$(stat -c '%s %Y %a %h' "$precious")

# The run goes on as without a log: same output, same status.
assert_run_without_log() {
  local name=$1
  run "$name" "$downloads/plim-installer"
  assert_eq "$baseline_status" "$?" "status of run $name"
  assert_eq "$(cat "$scratch/baseline.out")" "$(cat "$scratch/$name.out")" "output of run $name"
}

as_user mallory ln -s "$precious" "$log" || fail "cannot plant the symbolic link"
assert_run_without_log symlink
assert_eq "root only" "$(cat "$precious")" "file behind a symbolic link"
assert_eq "$precious_stamp" "$(stat -c '%s %Y %a %h' "$precious")" "size, time, mode, links of the link target"
assert_eq "$precious" "$(readlink "$log")" "the planted link"
rm "$log"

as_user mallory ln -s /etc/plim-made-through-link "$log"
assert_run_without_log dangling-symlink
assert_no_file /etc/plim-made-through-link
rm "$log"

# The kernel keeps mallory from hard-linking root's file; root plants it.
ln "$precious" "$log" || fail "cannot plant the hard link"
assert_run_without_log hardlink
assert_eq "root only" "$(cat "$precious")" "file behind a hard link"
assert_eq "2" "$(stat -c %h "$precious")" "link count of the hard-linked file"
rm "$log"

as_user mallory mkfifo "$log"
assert_run_without_log fifo
[[ -p $log ]] || fail "the FIFO at $log was replaced"
e2e_ok

# A reader waiting on the FIFO gets nothing written by the run.
cat "$log" >"$scratch/fifo-reader.got" &
reader=$!
assert_run_without_log fifo-with-reader
kill "$reader" 2>/dev/null
wait "$reader" 2>/dev/null
assert_eq "" "$(cat "$scratch/fifo-reader.got")" "what the FIFO's reader received"
rm "$log"

pass
