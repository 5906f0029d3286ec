#!/usr/bin/env bash
# MIME registration, two measurements:
#
# 1. Rewriting a mailcap of 10,000, 100,000 and one million lines
#    (PLIM_BENCH_MAILCAP_LINES; the user's own entries,
#    comments, blank lines and continued entries, with an earlier
#    installation's entries scattered through it) against `grep -v` dropping
#    the same lines from the same file into a new file, in the same run. Both
#    are whole processes under hyperfine, alternating; the mailcap is put
#    back before each update.
# 2. Root's update of every account (inside the sandbox) with 500 and with
#    5,000 accounts, each with its home directory: time per account.
set -euo pipefail
source "$(dirname -- "$0")/compare_lib.sh"
idir=/opt/Fernhollow-Plim/NetscapePlugin

if [[ ${1:-} == --inside ]]; then
  probe=$2
  # add_accounts FROM TO: accounts benchFROM..benchTO, each with its own
  # group and home directory, written straight into the overlaid databases.
  add_accounts() {
    python3 - "$1" "$2" <<'PY'
import os, sys
first, last = int(sys.argv[1]), int(sys.argv[2])
with open("/etc/passwd", "a") as pw, open("/etc/group", "a") as gr:
    for i in range(first, last + 1):
        uid = 20000 + i
        home = f"/home/bench{i}"
        pw.write(f"bench{i}:x:{uid}:{uid}::{home}:/bin/sh\n")
        gr.write(f"bench{i}:x:{uid}:\n")
        os.mkdir(home, 0o755)
        os.chown(home, uid, uid)
PY
  }
  for accounts in 500 5000; do
    add_accounts "$(( $(getent passwd | grep -c '^bench') + 1 ))" "$accounts"
    homes=$(getent passwd | wc -l)
    csv=$(mktemp)
    # The warm-up run creates the files; the measured runs rewrite them.
    hyperfine -N --warmup 1 --runs 3 --export-csv "$csv" "$probe register $idir" >/dev/null
    awk -F, -v n="$accounts" -v homes="$homes" 'NR == 2 {
      printf "%d accounts (%d homes): median %.2f s, %.3f ms per home\n", n, homes, $4, $4 * 1000 / homes }' "$csv"
    rm -f "$csv"
  done
  exit 0
fi

build=$(bench_build)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
probe=$build/testing/mime_probe
require mime_compare "$probe"

dir=$(mktemp -d "${TMPDIR:-/tmp}/mime-compare.XXXXXX")
trap 'rm -rf "$dir"' EXIT
for lines in ${PLIM_BENCH_MAILCAP_LINES:-10000 100000 1000000}; do
  # LINES lines: per 100, 70 one-line entries, 10 comments, 5 blank
  # lines, 5 entries continued over two lines (10 lines) and, every 1000
  # lines, an earlier installation's nine entries (27 lines) instead of 27
  # entries of the user's.
  awk -v lines="$lines" -v idir="/usr/local/Fernhollow-Plim/NetscapePlugin" 'BEGIN {
    split("image/x-plim image/x.plim image/plim image/x-qw88 image/qw88 image/plimmo image/x-plimmo image/kz7 image/x-kz7", t, " ")
    for (n = 0; n < lines;) {
      if (n >= block) {
        block += 1000
        for (i = 1; i <= 9; i++) {
          print "#mailcap entry added by Plim Install"
          print t[i] ";" idir "/plview %s;\\"
          print "\tx-mozilla-flags=plugin:Orvo Labs Plim"
        }
        n += 27
      }
      r = n % 100
      if (r < 70) print "application/x-type" n ";viewer-" n " %s; test=test -n \"$DISPLAY\""
      else if (r < 80) print "# viewer for type " n
      else if (r < 85) print ""
      else { print "text/x-type" n ";pager %s; \\"; print "\tneedsterminal"; n++ }
      n++
    }
  }' >"$dir/original"
  echo "mailcap: $(wc -l <"$dir/original") lines, $(stat -c %s "$dir/original") bytes"
  pattern='^(#mailcap entry added by Plim Install|image/(x-plim|x\.plim|plim|x-qw88|qw88|plimmo|x-plimmo|kz7|x-kz7);|	x-mozilla-flags=)'
  # Both must drop the same lines, or the comparison means nothing.
  cp "$dir/original" "$dir/mailcap"
  "$probe" mailcap "$dir/mailcap" "$idir" >/dev/null
  LC_ALL=C grep -v -E "$pattern" "$dir/original" >"$dir/grep.out" || true
  head -n -27 "$dir/mailcap" | cmp -s - "$dir/grep.out" ||
    { echo "mime_compare: the update and grep kept different lines" >&2; exit 1; }
  echo "dropped: $(( $(wc -l <"$dir/original") - $(wc -l <"$dir/grep.out") )) lines"

  csv=$dir/times.csv
  hyperfine --warmup 2 --runs 20 --export-csv "$csv" \
    --prepare "cp $dir/original $dir/mailcap" -n update "$probe mailcap $dir/mailcap $idir" \
    --prepare "true" -n "grep -v" "LC_ALL=C grep -v -E '$pattern' $dir/original >$dir/grep.out" |
    sed -n '/Time/p'
  awk -F, 'NR > 1 { median[$1] = $4 }
    END { printf "median update %.1f ms, grep -v %.1f ms, ratio update/grep %.2f (goal <= 2.0)\n",
                 median["update"] * 1000, median["grep -v"] * 1000, median["update"] / median["grep -v"] }' "$csv"
done
rm -rf "$dir"
trap - EXIT

status=0
PLIM_BUILD_DIR=$build PLIM_SOURCE_DIR=$source_dir \
  "$source_dir/testing/sandbox" -- bash "$source_dir/bench/mime_compare.sh" --inside "$probe" || status=$?
[[ $status -eq 77 ]] && echo "mime_compare: no sandbox here (not root?), skipped" && status=0
exit "$status"
