#!/usr/bin/env bash
# Package mode and extract mode against makeself, on the same installed tree
# of about PLIM_BENCH_MB MB (6 and 60 by default; see each_payload_size):
#   building:   package (settings form: gzip and tar of the installed tree)
#               versus  makeself (its defaults, and at gzip's level 6 as our tar uses)
#   extracting: install --extract=DIR  versus  makeself's --noexec --target DIR,
#               and the bare  gzip -dc archive | tar xf -  of our own archive
# Also the size each format adds to its members. makeself (the Debian
# package) is installed here, by this script only, when it is missing and we
# are root. Writes nothing outside a scratch directory.
set -euo pipefail
source "$(dirname -- "$0")/compare_lib.sh"
each_payload_size "$0"
installer=$(bench_build)/plim-installer
require makeself_compare "$installer"
if ! command -v makeself >/dev/null; then
  if ((EUID == 0)); then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq makeself >/dev/null
  else
    echo "makeself_compare: makeself is not installed (run as root to install it)"
    exit 0
  fi
fi
runs=${BENCH_ROUNDS:-5}

work=$(mktemp -d "${TMPDIR:-/tmp}/plim-makeself-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# The installed tree: 12 text files of random base64, about PLIM_BENCH_MB
# MB, and the licence text; the settings file that names it, as an installation writes.
tree=$work/prefix/Fernhollow-Plim/NetscapePlugin
mkdir -p "$tree" home/.Plim ours
for i in $(seq 1 12); do head -c $((3800000 * PLIM_BENCH_MB / 60)) /dev/urandom | base64 >"$tree/member$i.txt"; done
seq 1 2000 | sed 's/^/licence line /' >"$tree/license.txt"
printf "prefix='%s'\nversion='3.2.5.3'\nlicense='license.txt'\n" "$work/prefix" >home/.Plim/plugin.conf
cp "$installer" ours/package
export HOME=$work/home
echo "tree: $(du -sb "$tree" | cut -f1) bytes in $(find "$tree" -type f | wc -l) files"

build_ours="cd '$work/ours' && ./package >/dev/null 2>&1"
build_makeself="makeself --quiet '$tree' '$work/pkg.run' demo ./member1.txt >/dev/null 2>&1"
build_makeself6="makeself --quiet --complevel 6 '$tree' '$work/pkg6.run' demo ./member1.txt >/dev/null 2>&1"
(eval "$build_ours") && (eval "$build_makeself") && (eval "$build_makeself6")
[[ -s ours/install && -s pkg.run && -s pkg6.run ]] || { echo "makeself_compare: a build failed" >&2; exit 1; }

# medians JSON...: median per command over all rounds, and each one's ratio to the first.
medians() {
  python3 - "$@" <<'PY'
import json, statistics, sys
times = {}
for path in sys.argv[1:]:
    for result in json.load(open(path))["results"]:
        times.setdefault(result["command"], []).extend(result["times"])
names = list(times)
first = statistics.median(times[names[0]])
for name in names:
    m = statistics.median(times[name])
    print(f"  {name:<22} median {m:.3f} s over {len(times[name])} runs; {names[0]} / {name} = {first / m:.2f}")
PY
}

# Machines here are shared and noisy: alternate the commands in short rounds.
echo "== building (commands: $build_ours | $build_makeself | $build_makeself6)"
for round in $(seq 1 "$runs"); do
  hyperfine --style none --runs 2 --export-json "build$round.json" \
    -n package "$build_ours" -n makeself "$build_makeself" -n "makeself -6" "$build_makeself6" >/dev/null
done
medians build*.json

extract_ours="cd '$work' && ./ours/install --extract='$work/out' >/dev/null 2>&1"
extract_makeself="cd '$work' && ./pkg.run --quiet --noexec --target '$work/out' >/dev/null 2>&1"
# Our own archive, for the bare pipeline: it ends before the two names
# ("license.txt.gz", "Plim.tar.gz", 27 bytes with their NULs) and the trailer.
head -c -55 ours/install | tail -c "$(tail -c 4 ours/install | od -An -tu4)" >Plim.tar.gz
extract_raw="mkdir '$work/out' && cd '$work/out' && gzip -dc ../Plim.tar.gz | tar xf -"
echo "== extracting (commands: $extract_ours | $extract_makeself | $extract_raw)"
for round in $(seq 1 "$runs"); do
  hyperfine --style none --runs 2 --export-json "extract$round.json" --prepare "rm -rf '$work/out'" \
    -n extract "$extract_ours" -n "makeself --noexec" "$extract_makeself" -n "gzip -dc | tar xf -" "$extract_raw" >/dev/null
done
medians extract*.json

ours_size=$(stat -c %s ours/install)
members=$(( $(tail -c 8 ours/install | head -c 4 | od -An -tu4) + $(tail -c 4 ours/install | od -An -tu4) ))
echo "== size added to the members"
echo "  package: $ours_size bytes, members $members, added $((ours_size - members)) (image, names, trailer)"
for run in pkg.run pkg6.run; do
  size=$(stat -c %s "$run")
  archive=$(grep -a -m1 '^filesizes=' "$run" | tr -dc 0-9)
  echo "  makeself $run: $size bytes, archive $archive, added $((size - archive)) (header script)"
done
