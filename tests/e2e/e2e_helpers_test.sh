# The helpers other scenarios build on: accounts, small disks and assembled
# packages must be what they claim, or every scenario using them proves less.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

# --- accounts ----------------------------------------------------------------
uid=$(add_user carol)
second=$(add_user dave /tmp/elsewhere/dave)
assert_eq "$((uid + 1))" "$second" "uid of the second account"
assert_eq "$uid $uid /home/carol carol carol" \
  "$(as_user carol bash -c 'echo "$(id -u) $(id -g) $HOME $USER $LOGNAME"')" "identity of carol"
assert_eq "dave /tmp/elsewhere/dave" "$(as_user dave bash -c 'echo "$USER $HOME"; touch "$HOME/x"')" "dave"
assert_file /tmp/elsewhere/dave/x

# --- small disks -------------------------------------------------------------
small_disk /tmp/small 32k carol
assert_eq "carol" "$(stat -c %U /tmp/small)" "owner of the small disk"
assert_status 1 as_user carol bash -c 'head -c 64k /dev/zero >/tmp/small/fill 2>/dev/null'
assert_eq 32768 "$(stat -c %s /tmp/small/fill)" "bytes that fit on the small disk"

# --- assembled packages ------------------------------------------------------
dir=$(mktemp -d)
printf 'IMAGE-BYTES' >"$dir/image"
printf 'LICENCE' >"$dir/license.gz"
printf 'ARCHIVE!!' >"$dir/archive.gz"

# bytes FILE OFFSET COUNT: the bytes as hex pairs without blanks.
bytes() { od -An -v -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }
trailer_of() { bytes "$1" "$(($(stat -c %s "$1") - 28))" 28; }
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
magic=$(hex EOFwytEOF)00

make_package "$dir/pkg" "$dir/image" "$dir/license.gz" "$dir/archive.gz" 1 2 0 7 lic.gz arc.tar.gz
assert_eq 755 "$(stat -c %a "$dir/pkg")" "package mode"
assert_eq "$((11 + 7 + 9 + 7 + 11 + 28))" "$(stat -c %s "$dir/pkg")" "package size"
assert_eq "IMAGE-BYTESLICENCEARCHIVE!!" "$(head -c 27 "$dir/pkg")" "members in order"
assert_eq "$(hex lic.gz)00$(hex arc.tar.gz)00" "$(bytes "$dir/pkg" 27 18)" "names with their NULs"
assert_eq "${magic}010200070000""0b000000""07000000""09000000" "$(trailer_of "$dir/pkg")" "trailer"

make_package "$dir/default" "$dir/image" "$dir/license.gz" "$dir/archive.gz"
assert_eq "${magic}03020503" "$(trailer_of "$dir/default" | head -c 28)" "default version bytes"
assert_eq "$(hex license.txt.gz)00$(hex Plim.tar.gz)00" "$(bytes "$dir/default" 27 27)" "default names"

# Bad trailers: each option spoils exactly what it names.
spoiled() { "$ASSEMBLE_PACKAGE" "$@" "$dir/bad" "$dir/image" "$dir/license.gz" "$dir/archive.gz" || fail "assemble_package $*"; }
spoiled --magic=EOFwytEOX
assert_eq "$(hex EOFwytEOX)00" "$(trailer_of "$dir/bad" | head -c 20)" "spoiled magic"
spoiled --exe-length=0xfffffff0 --license-length=16 --archive-length=4294967295
assert_eq "f0ffffff""10000000""ffffffff" "$(trailer_of "$dir/bad" | tail -c 24)" "stored lengths"
spoiled --no-archive-name-nul --extra-bytes=3
assert_eq "$(hex Plim.tar.gz)787878${magic}" "$(bytes "$dir/bad" 42 24)" "names without NUL, extra bytes"
quietly() { "$@" 2>/dev/null; }
assert_status 1 quietly "$ASSEMBLE_PACKAGE" --version=1.2.3 "$dir/bad" "$dir/image" "$dir/license.gz" "$dir/archive.gz"
assert_status 1 quietly "$ASSEMBLE_PACKAGE" --exe-length=4294967296 "$dir/bad" "$dir/image" "$dir/license.gz" "$dir/archive.gz"
pass
