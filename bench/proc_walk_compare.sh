#!/usr/bin/env bash
# The search walk over /proc, against `pgrep -f netscape` over the same
# process table in the same run. Inside the sandbox (its own PID namespace)
# sleeping processes (200, 2,000 and 5,000: PLIM_BENCH_PROCESSES) and one
# running stand-in browser make the table; both commands run as whole
# processes under hyperfine (-N), alternating.
set -euo pipefail
source "$(dirname -- "$0")/compare_lib.sh"
processes=${PLIM_BENCH_PROCESSES:-200 2000 5000}

if [[ ${1:-} == --inside ]]; then
  probe=$2 stand_in=$3
  mkdir -p /opt/netscape/plugins /opt/netscape/java && touch /opt/netscape/vreg
  cp "$stand_in" /opt/netscape/netscape
  /opt/netscape/netscape &
  started=0
  for count in $processes; do
    for ((; started < count; started++)); do sleep 100000 & done
    sleep 0.5
    table=(/proc/[0-9]*)
    echo "process table: ${#table[@]} processes"
    "$probe" --own-signature --search 2>&1 | grep -c $'result\tsearch\t1' >/dev/null ||
      { echo "proc_walk_compare: the search found no browser" >&2; exit 1; }
    compare_medians search "$probe --own-signature --search" pgrep "pgrep -f netscape" 1.0
  done
  exit 0
fi

build=$(bench_build)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
sandbox=$source_dir/testing/sandbox
probe=$build/testing/browser_probe
stand_in=$build/testing/stand_in_browser_libc6
require proc_walk_compare "$probe" "$stand_in" "$sandbox"
status=0
PLIM_BUILD_DIR=$build PLIM_SOURCE_DIR=$source_dir \
  "$sandbox" -- bash "$source_dir/bench/proc_walk_compare.sh" --inside "$probe" "$stand_in" || status=$?
[[ $status -eq 77 ]] && echo "proc_walk_compare: no sandbox here (not root?), skipped" && status=0
exit "$status"
