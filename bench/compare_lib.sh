# shellcheck shell=bash
# Shared by the *_compare.sh scripts: two whole commands timed side by side.

# compare_medians NAME_A COMMAND_A NAME_B COMMAND_B GOAL: runs both under
# hyperfine (no shell, 30 runs each, alternating) and prints the medians and
# the ratio A/B with its goal.
compare_medians() {
  local a=$1 command_a=$2 b=$3 command_b=$4 goal=$5 csv
  csv=$(mktemp)
  hyperfine -N --warmup 3 --runs 30 --export-csv "$csv" \
    -n "$a" "$command_a" -n "$b" "$command_b" | sed -n '/Summary/,$p;/Time/p'
  awk -F, -v a="$a" -v b="$b" -v goal="$goal" 'NR > 1 { median[$1] = $4 }
    END { printf "median %s %.1f ms, %s %.1f ms, ratio %s/%s %.2f (goal <= %s)\n",
                 a, median[a] * 1000, b, median[b] * 1000, a, b, median[a] / median[b], goal }' "$csv"
  rm -f "$csv"
}

# each_payload_size SCRIPT: the payload benchmarks run once per size, in MB:
# PLIM_BENCH_MB if it names sizes ("60", "6 60"), else 6 and 60, and 600 too
# with PLIM_BENCH_LARGE=1 (about 4 GB of scratch space, and long). Returns
# when PLIM_BENCH_MB names a single size; otherwise runs SCRIPT for each size
# and exits with the first failure.
each_payload_size() {
  local sizes=${PLIM_BENCH_MB:-6 60} mb status=0
  if [[ -z ${PLIM_BENCH_MB:-} && ${PLIM_BENCH_LARGE:-0} == 1 ]]; then
    if (( $(df --output=avail -k "${TMPDIR:-/tmp}" | tail -1) > 5 * 1024 * 1024 )); then sizes+=" 600"
    else echo "-- payload 600 MB skipped: less than 5 GB free in ${TMPDIR:-/tmp}"; fi
  fi
  [[ $sizes =~ ^[0-9]+$ ]] && return 0
  for mb in $sizes; do
    echo "-- payload $mb MB"
    PLIM_BENCH_MB=$mb bash "$1" || { status=$?; break; }
  done
  exit "$status"
}

# bench_build: the build directory (PLIM_BUILD_DIR, as bench/run passes it;
# default build/bench) made absolute, because the scripts work in scratch
# directories; as given when it does not exist.
bench_build() {
  local dir=${PLIM_BUILD_DIR:-build/bench}
  (cd -- "$dir" 2>/dev/null && pwd) || echo "$dir"
}

# require SCRIPT PATH...: ends SCRIPT with status 0 and a line saying what is
# missing, when hyperfine is not installed or a PATH is not there to run; a
# benchmark skipped is not a failed build.
require() {
  local script=$1 need
  shift
  command -v hyperfine >/dev/null || { echo "$script: hyperfine is not installed, skipped"; exit 0; }
  for need in "$@"; do
    [[ -x $need ]] || { echo "$script: $need is not built, skipped"; exit 0; }
  done
}
