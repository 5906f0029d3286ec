#!/usr/bin/env bash
# Extract mode against the raw pipeline on the same archive of about
# PLIM_BENCH_MB MB (6 and 60 by default; see each_payload_size):
#   plim package --extract=DIR      versus      gzip -dc archive.tar.gz | tar xf -
# Both run alternately under hyperfine in one go; the figure is the ratio of
# the medians (goal: within 1.05). Writes nothing outside a scratch directory.
set -euo pipefail
source "$(dirname -- "$0")/compare_lib.sh"
each_payload_size "$0"
installer=$(bench_build)/plim-installer
require extract_compare "$installer"

work=$(mktemp -d "${TMPDIR:-/tmp}/plim-extract-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Payload: 16 text files of random base64 (about 80 MB at 60), which gzip
# brings down to about PLIM_BENCH_MB MB, and a small licence.
mkdir payload
for i in $(seq 1 16); do head -c $((3800000 * PLIM_BENCH_MB / 60)) /dev/urandom | base64 > "payload/member$i.txt"; done
(cd payload && tar cf - ./) | gzip -6 -n > Plim.tar.gz
seq 1 2000 | sed 's/^/licence line /' | gzip -n > license.txt.gz

cp "$installer" package
./package 3 2 5 3 license.txt.gz Plim.tar.gz >/dev/null
echo "archive: $(stat -c %s Plim.tar.gz) bytes compressed, $(du -sb payload | cut -f1) bytes unpacked"

# A run that unpacks nothing would time nothing.
if ! ./install --extract=probe >/dev/null 2>&1 || [[ ! -f probe/license.txt || ! -f probe/member16.txt ]]; then
  echo "extract_compare: extract mode did not unpack the package" >&2
  exit 1
fi

# Machines here are shared and noisy: alternate the two in short rounds and
# compare the medians of all runs.
ours="cd '$work' && ./install --extract=out > /dev/null"
raw="mkdir '$work/out' && cd '$work/out' && gzip -dc ../Plim.tar.gz | tar xf -"
for round in 1 2 3 4 5 6; do
  hyperfine --style none --warmup 1 --runs 2 --export-json "round$round.json" \
    --prepare "rm -rf '$work/out'" -n extract "$ours" -n raw "$raw" >/dev/null
done
echo "extract:   $ours"
echo "reference: $raw"
python3 - round*.json <<'PY'
import json, statistics, sys
times = {"extract": [], "raw": []}
for path in sys.argv[1:]:
    for result in json.load(open(path))["results"]:
        times[result["command"]] += result["times"]
ours, raw = (statistics.median(times[name]) for name in ("extract", "raw"))
print(f"runs {len(times['extract'])} each, alternating; median extract {ours:.3f} s, "
      f"gzip -dc | tar xf - {raw:.3f} s, ratio {ours / raw:.3f} (goal <= 1.05)")
PY
