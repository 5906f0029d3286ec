#!/usr/bin/env bash
# Extract mode against the raw pipeline on the same ~60 MB archive:
#   plim package --extract=DIR      versus      gzip -dc archive.tar.gz | tar xf -
# Both run alternately under hyperfine in one go; the figure is the ratio of
# the medians (goal: within 1.15). Writes nothing outside a scratch directory.
set -euo pipefail
build=${PLIM_BUILD_DIR:-build}
installer=$build/plim-installer
[[ -x $installer ]] || { echo "extract_compare: no $installer (build first)"; exit 0; }
command -v hyperfine >/dev/null || { echo "extract_compare: hyperfine is not installed"; exit 0; }

work=$(mktemp -d "${TMPDIR:-/tmp}/plim-extract-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Payload: 16 text files of random base64 (about 80 MB), which gzip brings
# down to about 60 MB, and a small licence.
mkdir payload
for i in $(seq 1 16); do head -c 3800000 /dev/urandom | base64 > "payload/member$i.txt"; done
(cd payload && tar cf - ./) | gzip -6 -n > Plim.tar.gz
seq 1 2000 | sed 's/^/licence line /' | gzip -n > license.txt.gz

# The package: image, licence, archive, the two names, the 28-byte trailer.
le32() { printf "\\x%02x\\x%02x\\x%02x\\x%02x" $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
size() { stat -c %s "$1"; }
{
  cat "$installer" license.txt.gz Plim.tar.gz
  printf 'license.txt.gz\0Plim.tar.gz\0'
  printf 'EOFwytEOF\0\x03\x02\x05\x03\0\0'
  le32 "$(size "$installer")"; le32 "$(size license.txt.gz)"; le32 "$(size Plim.tar.gz)"
} > install
chmod 0755 install
echo "archive: $(size Plim.tar.gz) bytes compressed, $(du -sb payload | cut -f1) bytes unpacked"

# Extract mode needs the command line; without it there is nothing to time.
if ! ./install --extract=probe >/dev/null 2>&1 || [[ ! -f probe/license.txt || ! -f probe/member16.txt ]]; then
  echo "extract_compare: extract mode is not available in $installer yet"
  exit 0
fi

hyperfine --style basic --warmup 1 --runs 10 --export-json times.json \
  --prepare "rm -rf '$work/out'" \
  -n extract "cd '$work' && ./install --extract=out > /dev/null" \
  -n 'gzip -dc | tar xf -' "mkdir '$work/out' && cd '$work/out' && gzip -dc ../Plim.tar.gz | tar xf -"

python3 - times.json <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
ours, raw = results["extract"], results["gzip -dc | tar xf -"]
print(f"median extract {ours:.3f} s, gzip -dc | tar xf - {raw:.3f} s, ratio {ours / raw:.3f} (goal <= 1.15)")
PY
