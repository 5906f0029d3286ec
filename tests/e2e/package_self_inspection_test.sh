#!/usr/bin/env bash
# A package made of a program image, a gzip licence and a tar.gz archive is
# recognised at start-up, with every pointer at the bytes that were put there,
# also when started through a path in another directory; a trailer that is
# wrong in any way makes the file a bare executable, and never a crash.
# The image is the package probe, which prints what self-inspection found.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

work=$(mktemp -d /tmp/package-self.XXXXXX)
cd "$work" || fail "cannot enter $work"
probe=$work/package_probe
cp "$PLIM_BUILD_DIR/testing/package_probe" "$probe"

# The payload: a real gzip licence and a real tar.gz archive.
mkdir payload
printf 'Plim licence\nUse it kindly.\n' >payload/license.txt
head -c 50000 /dev/urandom >payload/nsplimmo_libc6.so
gzip -9 -c payload/license.txt >license.txt.gz
tar -C payload -czf Plim.tar.gz license.txt nsplimmo_libc6.so

mkdir pkg other
make_package pkg/plim-install "$probe" license.txt.gz Plim.tar.gz 3 2 5 3 license.txt.gz Plim.tar.gz

size_of() { stat -c %s "$1"; }
E=$(size_of "$probe") L=$(size_of license.txt.gz) A=$(size_of Plim.tar.gz)
package_size=$(size_of pkg/plim-install)
assert_eq $((E + L + A + 15 + 12 + 28)) "$package_size" "package size"

# field NAME OUTPUT: the value the probe printed for NAME
field() { sed -n "s/^$1=//p" <<<"$2"; }
# bytes FILE OFFSET COUNT: COUNT bytes of FILE from OFFSET
bytes() { dd if="$1" iflag=skip_bytes,count_bytes skip="$2" count="$3" bs=65536 status=none; }

check_recognised() {
  local out=$1 where=$2
  assert_eq "Find:	Self info" "$(head -n 1 <<<"$out")" "$where: progress line"
  assert_eq 0 "$(field result "$out")" "$where: result"
  assert_eq "$E" "$(field exe_length "$out")" "$where: exe_length"
  assert_eq "$L" "$(field license_length "$out")" "$where: license_length"
  assert_eq "$A" "$(field archive_length "$out")" "$where: archive_length"
  assert_eq 3.2.5.3 "$(field version "$out")" "$where: version bytes"
  assert_eq EOFwytEOF "$(field magic "$out")" "$where: magic"
  assert_eq 7f454c46 "$(field exe_signature "$out")" "$where: signature"
  assert_eq 0 "$(field image "$out")" "$where: image"
  assert_eq "$E" "$(field license_data "$out")" "$where: license_data"
  assert_eq $((E + L)) "$(field archive_data "$out")" "$where: archive_data"
  assert_eq $((E + L + A)) "$(field license_name "$out")" "$where: license_name"
  assert_eq $((E + L + A + 15)) "$(field archive_name "$out")" "$where: archive_name"
  assert_eq license.txt.gz "$(field license_name_text "$out")" "$where: licence name"
  assert_eq Plim.tar.gz "$(field archive_name_text "$out")" "$where: archive name"
}

# Started by a relative path from its own directory's parent.
out=$(pkg/plim-install) || fail "package exited with $?"
check_recognised "$out" "relative path"
assert_eq "Find:	Self info" "$(cat pkg/plim-install.log)" "run log beside the program"

# The offsets lead to exactly the bytes that were assembled.
bytes pkg/plim-install 0 "$E" | cmp -s - "$probe" || fail "image bytes differ"
bytes pkg/plim-install "$E" "$L" | cmp -s - license.txt.gz || fail "licence bytes differ"
bytes pkg/plim-install $((E + L)) "$A" | cmp -s - Plim.tar.gz || fail "archive bytes differ"
assert_eq "license.txt.gz" "$(bytes pkg/plim-install $((E + L + A)) 14)" "licence name bytes"
assert_eq "$((package_size - 28))" $((E + L + A + 15 + 12)) "names end at the trailer"
bytes pkg/plim-install "$E" "$L" | gunzip -c | cmp -s - payload/license.txt ||
  fail "licence member does not unpack"
assert_eq "license.txt nsplimmo_libc6.so" \
  "$(bytes pkg/plim-install $((E + L)) "$A" | tar -tzf - | tr '\n' ' ' | sed 's/ $//')" "archive members"

# Started through a path in another directory, absolute and relative: the
# run log lies beside the program path.
rm pkg/plim-install.log
out=$(cd other && "$work/pkg/plim-install") || fail "absolute start exited with $?"
check_recognised "$out" "absolute path"
assert_file "$work/pkg/plim-install.log"
assert_no_file "$work/other/plim-install.log"
rm pkg/plim-install.log
out=$(cd other && ../pkg/plim-install) || fail "../ start exited with $?"
check_recognised "$out" "../ path"
assert_eq "Find:	Self info" "$(cat pkg/plim-install.log)" "run log through ../"

# Started by its bare name through the search path from another directory, the
# program cannot find its own file.
status=0
(cd other && PATH="$work/pkg:$PATH" plim-install >"$work/bare.out" 2>"$work/bare.err") || status=$?
assert_eq 1 "$status" "bare name: status"
assert_eq "open: No such file or directory" "$(cat bare.err)" "bare name: error"

check_bare() {
  local file=$1 what=$2 out status=0
  chmod 0755 "$file"
  out=$("$file" 2>"$work/bad.err") || status=$?
  assert_eq 0 "$status" "$what: status (no crash)"
  assert_eq "" "$(cat "$work/bad.err")" "$what: nothing on standard error"
  assert_eq -1 "$(field result "$out")" "$what: result"
  assert_eq "$(size_of "$file")" "$(field exe_length "$out")" "$what: exe_length"
  assert_eq 0 "$(field license_length "$out")" "$what: license_length"
  assert_eq 0 "$(field archive_length "$out")" "$what: archive_length"
  assert_eq 0.0.0.0 "$(field version "$out")" "$what: version"
  assert_eq EOFwytEOF "$(field magic "$out")" "$what: magic"
  assert_eq 00000000 "$(field exe_signature "$out")" "$what: signature"
  assert_eq 0 "$(field image "$out")" "$what: image"
  local pointer
  for pointer in license_data archive_data license_name archive_name; do
    assert_eq null "$(field "$pointer" "$out")" "$what: $pointer"
  done
}

# le32 N: N as four little-endian bytes
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
  $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
# handmade OUT MAGIC E L A NAMES: the probe, the payload, NAMES (printf
# format) and a trailer holding MAGIC (printf format) and the given lengths
handmade() {
  { cat "$probe" license.txt.gz Plim.tar.gz
    printf "$6"
    printf "$2"
    printf '\x03\x02\x05\x03\x00\x00'
    le32 "$3"; le32 "$4"; le32 "$5"
  } >"$1"
}
names='license.txt.gz\0Plim.tar.gz\0'
magic='EOFwytEOF\0'
max=4294967296

# The hand-made assembly itself is right: the good variant is recognised.
handmade good "$magic" "$E" "$L" "$A" "$names"
chmod 0755 good
check_recognised "$(./good)" "hand-made package"

check_bare "$probe" "a freshly linked program"
head -c "$E" pkg/plim-install >uninstall
check_bare ./uninstall "the first E bytes of a package"
handmade bad "EOFwytEOX\\0" "$E" "$L" "$A" "$names"
check_bare ./bad "wrong magic"
handmade bad "EOFwytEOFX" "$E" "$L" "$A" "$names"
check_bare ./bad "magic without its NUL"
handmade bad "$magic" "$E" "$L" $((A + 28)) "$names"
check_bare ./bad "lengths beyond the file"
handmade bad "$magic" $((max - 1)) "$L" "$A" "$names"
check_bare ./bad "exe length beyond the file"
# These sums are right modulo 2^32: 32-bit arithmetic would accept them.
handmade bad "$magic" $((E + max / 2)) $((L + max / 2)) "$A" "$names"
check_bare ./bad "lengths whose 32-bit sum wraps to the real one"
handmade bad "$magic" $((max - 28 - L - A)) "$L" "$A" "$names"
check_bare ./bad "lengths whose sum with 28 wraps to zero"
handmade bad "$magic" "$E" "$L" "$A" 'license.txt.gz\0Plim.tar.gzX'
check_bare ./bad "archive name without its NUL"
handmade bad "$magic" "$E" "$L" "$A" 'license.txt.gzXPlim.tar.gzX'
check_bare ./bad "names without NUL"
handmade bad "$magic" "$E" "$L" "$A" "${names}zz"
check_bare ./bad "extra bytes between the names and the trailer"
# A file shorter than the trailer cannot be started as a program; the unit
# tests cover it.

pass
