#!/usr/bin/env bash
# Reading a candidate browser executable for its two texts, against grep
# looking for the same two texts in the same file, in the same run.
#
# The candidate is 64 MB of real machine code (the stand-in browser's own
# bytes, with every "libc.so." and "MOZILLA_HOME" defaced) with the two
# texts only in its last kilobyte, so both programs read the whole file.
# Both run as whole processes under hyperfine (-N: no shell), alternating.
set -euo pipefail
source "$(dirname -- "$0")/compare_lib.sh"
build=$(bench_build)
probe=$build/testing/browser_probe
stand_in=$build/testing/stand_in_browser_libc6
require libc_scan_compare "$probe" "$stand_in"

home=$(mktemp -d "${TMPDIR:-/tmp}/libc-scan.XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir "$home/plugins" "$home/java" && touch "$home/vreg"
candidate=$home/netscape

# Machine code without the texts, tiled to 64 MB, the texts at the very end.
LC_ALL=C sed -e 's/libc\.so\./libc_so_/g' -e 's/MOZILLA_HOME/MOZILLA_HOMX/g' \
  <(head -c 700000 "$stand_in") >"$home/code"
size=$((64 * 1024 * 1024))
while (( $(stat -c %s "$candidate" 2>/dev/null || echo 0) < size - 1024 )); do
  cat "$home/code" >>"$candidate"
done
truncate -s $((size - 1024)) "$candidate"
printf 'libc.so.6\0MOZILLA_HOME=\0' >>"$candidate"
truncate -s "$size" "$candidate"
chmod 755 "$candidate"

# The probe must identify it, or it measured nothing.
"$probe" --own-signature --add "$candidate" 2>&1 | grep -c $'result\tadd\t1' >/dev/null ||
  { echo "libc_scan_compare: the candidate was not identified" >&2; exit 1; }

echo "candidate: $candidate ($(stat -c %s "$candidate") bytes)"
compare_medians scan "$probe --own-signature --add $candidate" \
  grep "grep -c -F -e libc.so. -e MOZILLA_HOME $candidate" 1.0
