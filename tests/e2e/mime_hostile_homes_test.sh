# shellcheck shell=bash
# Root updating files in homes it does not own: links planted at a personal
# file, at its backup name, or in the moment between the move aside and the
# new file never make root read, create, truncate or chown a file outside;
# a home its owner may not write is skipped with a message; a full disk
# leaves the user's file as it was and the update goes on.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
probe=$PLIM_BUILD_DIR/testing/mime_probe
home=/home/mallory
add_user mallory >/dev/null

printf 'system file\n' >/etc/plim-victim
victim="system file|root root 644"
victim_state() { echo "$(cat /etc/plim-victim)|$(stat -c '%U %G %a' /etc/plim-victim)"; }
reset_home() { rm -f "$home"/.mailcap* "$home"/.mime.types*; }
# update EXPECTED_STATUS ARG...: root runs the probe; sets err.
update() {
  local expected=$1
  shift
  local status=0
  "$probe" "$@" >/dev/null 2>"$home.err" || status=$?
  err=$(cat "$home.err")
  assert_eq "$expected" "$status" "status of [$*] ($err)"
}

# The personal file is a link: left as it is, the target never read.
reset_home
ln -s /etc/plim-victim "$home/.mailcap"
update 1 mailcap "$home/.mailcap"
assert_contains "$err" $'Failed to open /home/mallory/.mailcap' "link at the file"
assert_eq /etc/plim-victim "$(readlink "$home/.mailcap")" "the planted link"
assert_no_file "$home/.mailcap.save"
assert_eq "$victim" "$(victim_state)" "target of the link at the file"

# The backup name is a link: replaced by the backup, or left alone when
# there is no file to move aside; never written through.
for existing in yes no; do
  reset_home
  [[ $existing == yes ]] && printf 'mine\n' >"$home/.mime.types" && chown mallory: "$home/.mime.types"
  ln -s /etc/plim-victim "$home/.mime.types~"
  update 0 personal "$home/.mime.types"
  assert_eq "mallory" "$(stat -c %U "$home/.mime.types")" "new file ($existing file before)"
  assert_eq "$victim" "$(victim_state)" "target of the link at the backup ($existing file before)"
done

# A link appears right after the move aside, at the file's name (to an
# existing and to a missing file) or in place of the backup.
for plant in ".mailcap /etc/plim-victim" ".mailcap /etc/plim-new" ".mailcap.save /etc/plim-victim"; do
  reset_home
  printf 'mine\n' >"$home/.mailcap" && chown mallory: "$home/.mailcap"
  read -r name target <<<"$plant"
  update 1 race mailcap "$home/.mailcap" "$home/$name" "$target"
  assert_contains "$err" "Failed to open /home/mallory/.mailcap" "race at $name"
  assert_eq "$victim" "$(victim_state)" "system file after the race at $name to $target"
  assert_no_file /etc/plim-new
  [[ $name == .mailcap ]] && assert_eq "mine" "$(cat "$home/.mailcap")" "mallory's file after the race"
done

# A home its owner may not write: the kernel refuses the move aside to the
# owner, so root does not make it either.
reset_home
printf 'mine\n' >"$home/.mailcap"
chmod 555 "$home"
update 1 mailcap "$home/.mailcap"
assert_contains "$err" $'rename: Permission denied\nFailed to rename /home/mallory/.mailcap' "read-only home"
assert_eq "mine" "$(cat "$home/.mailcap")" "file in the read-only home"
assert_no_file "$home/.mailcap.save"
chmod 755 "$home"

# A full disk: the file stays as it was, the next file is still updated.
add_user carol >/dev/null
small_disk /home/carol 64k carol
head -c 40000 /dev/zero | tr '\0' 'x' | fold -w 99 >/home/carol/.mailcap
cp /home/carol/.mailcap "$home.before"
out=$(as_user carol "$probe" register /opt/Fernhollow-Plim/NetscapePlugin 2>&1)
assert_contains "$out" $'write: No space left on device\nFailed to write /home/carol/.mailcap\nUpdate:\tmimetypes file /home/carol/.mime.types' \
  "update on a full disk"
assert_ok "carol's mailcap kept on the full disk" cmp -s "$home.before" /home/carol/.mailcap
assert_eq ".mailcap .mime.types" "$(cd /home/carol && echo .m*)" "carol's files after the full disk"
pass
