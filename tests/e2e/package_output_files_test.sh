#!/usr/bin/env bash
# Output files keep the previous file of their name through every failure (a
# directory the user cannot write, a full disk) and leave no "~" backup after
# success; link_or_copy links where it can and copies across file systems
# with the source's permission bits less the file-creation mask.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

work=$(mktemp -d /tmp/package-out.XXXXXX)
chmod 0755 "$work"
cd "$work" || fail "cannot enter $work"
# A copy every user can run, whatever the build directory's permissions.
probe=$work/output_map_probe
cp "$PLIM_BUILD_DIR/testing/output_map_probe" "$probe"
chmod 0755 "$probe"

# run_probe OUT_PREFIX ARGS...: runs the probe, keeps its standard error in
# OUT_PREFIX.err and prints its exit status
run_probe() {
  local prefix=$1 status=0
  shift
  "$@" 2>"$prefix.err" >/dev/null || status=$?
  echo "$status"
}
pattern() { head -c "$1" < <(yes abcdefghijklmnopqrstuvwxyz | tr -d '\n'); }

# Success over an existing file and an old backup: the new contents, the mode
# less the mask, and no backup.
umask 022
echo previous >out
echo "old backup" >out~
assert_eq 0 "$(run_probe ok "$probe" create "$work/out" 40000 0777)" "create over a file"
cmp -s out <(pattern 40000) || fail "new contents"
assert_eq 755 "$(stat -c %a out)" "mode less the mask"
assert_no_file out~

# An ordinary user in a directory it cannot write.
add_user plimuser >/dev/null
mkdir ro
echo previous >ro/out
chown -R plimuser ro
chmod 0555 ro
status=$(run_probe ro as_user plimuser "$probe" create "$work/ro/out" 100 0644)
assert_eq 1 "$status" "read-only directory: status"
assert_contains "$(cat ro.err)" "creat: " "read-only directory: error"
assert_eq previous "$(cat ro/out)" "read-only directory: previous file"
assert_no_file ro/out~
status=$(run_probe ro-new as_user plimuser "$probe" create "$work/ro/new" 100 0644)
assert_eq 1 "$status" "read-only directory, new name: status"
assert_eq "creat: Permission denied" "$(cat ro-new.err)" "read-only directory, new name: error"
assert_no_file ro/new

# A full disk: the extension writes fail, the previous file comes back.
mkdir -p "$work/full"
small_disk "$work/full" 64k
head -c 5000 /dev/urandom >full/out
cp full/out expected
status=$(run_probe full "$probe" create "$work/full/out" 200000 0644)
assert_eq 1 "$status" "full disk: status"
assert_eq "write: No space left on device" "$(cat full.err)" "full disk: error"
cmp -s full/out expected || fail "full disk: previous file changed"
assert_no_file full/out~
# What fits is written, and the space the failed attempt took is free again.
assert_eq 0 "$(run_probe fits "$probe" create "$work/full/out" 40000 0644)" "fits on the small disk"
cmp -s full/out <(pattern 40000) || fail "small disk: new contents"
assert_no_file full/out~

# link_or_copy on one file system: a hard link in place of an older file, and
# nothing changes when the link already exists.
umask 027
echo "library bytes" >lib.so
chmod 0775 lib.so
echo older >plugin.so
assert_eq 0 "$(run_probe link "$probe" link "$work/lib.so" "$work/plugin.so")" "link"
assert_eq "$(stat -c %i lib.so)" "$(stat -c %i plugin.so)" "same inode after link"
assert_eq 0 "$(run_probe again "$probe" link "$work/lib.so" "$work/plugin.so")" "link again"
assert_eq 2 "$(stat -c %h lib.so)" "link count unchanged"
assert_no_file plugin.so~

# Across file systems (overlay over /opt to the scratch tmpfs): a copy with
# the source's permission bits less the mask.
mkdir -p /opt/plim-source
head -c 70000 /dev/urandom >/opt/plim-source/lib.so
chmod 0775 /opt/plim-source/lib.so
[[ $(stat -c %d /opt/plim-source) != $(stat -c %d "$work") ]] || fail "expected two file systems"
assert_eq 0 "$(run_probe copy "$probe" link /opt/plim-source/lib.so "$work/copied.so")" "copy"
cmp -s /opt/plim-source/lib.so copied.so || fail "copy contents"
assert_eq 750 "$(stat -c %a copied.so)" "copy mode less the mask"
assert_eq 1 "$(stat -c %h copied.so)" "a copy, not a link"
# An older file at the target is replaced by the copy.
echo older >older.so
assert_eq 0 "$(run_probe copy2 "$probe" link /opt/plim-source/lib.so "$work/older.so")" "copy over a file"
cmp -s /opt/plim-source/lib.so older.so || fail "copy over a file: contents"
assert_no_file older.so~
assert_eq 1 "$(run_probe missing "$probe" link "$work/missing.so" "$work/x.so")" "missing source: status"
assert_eq "open: No such file or directory" "$(cat missing.err)" "missing source: error"

pass
