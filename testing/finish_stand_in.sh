#!/usr/bin/env bash
# Pads a freshly linked stand-in browser to the size of a browser executable
# and checks the bytes identification looks for: the first "libc.so." must be
# followed by the expected libc character, and "MOZILLA_HOME" must be there.
# Usage: finish_stand_in.sh FILE LIBC_CHAR SIZE
set -euo pipefail
export LC_ALL=C
file=$1 libc=$2 size=$3
actual=$(stat -c %s "$file")
if (( actual >= size )); then
  echo "$file: already $actual bytes, more than the padded size $size" >&2
  exit 1
fi
first=$(grep -a -o -m1 'libc\.so\..' "$file" | head -n1)
if [[ $first != "libc.so.$libc" ]]; then
  echo "$file: first libc marker is '$first', want 'libc.so.$libc'" >&2
  exit 1
fi
if ! grep -q -a -F MOZILLA_HOME "$file"; then
  echo "$file: no MOZILLA_HOME" >&2
  exit 1
fi
# Bytes past the end of the last segment are never loaded: the stand-in still runs.
truncate -s "$size" "$file"
