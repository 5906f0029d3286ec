# shellcheck shell=bash
# Root answers yes to the MIME question of a real installation: the system
# files (a mailcap behind an absolute link, one behind a relative link left
# alone, /etc/mime.types) and the personal files of every account, each
# owned by the account; a second update gives the same bytes.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
export TERM=xterm
data=$PLIM_SOURCE_DIR/mime/testdata
probe=$PLIM_BUILD_DIR/testing/mime_probe
idir=/opt/Fernhollow-Plim/NetscapePlugin

e2e_workdir mime
make_test_package "$work"

# assert_update FILE KEPT ENTRIES: FILE holds testdata KEPT, then ENTRIES.
assert_update() { assert_ok "$1 as $2 followed by $3, not: $(cat -A "$1" 2>&1)" cmp -s <(cat "$data/$2" "$data/$3") "$1"; }

add_user alice >/dev/null
add_user bob >/dev/null
chmod 750 /home/alice
# bob's file belongs to a group of his other than his own: root, working as
# bob, keeps it only with bob's supplementary groups.
groupadd plimgrp && usermod -aG plimgrp bob
cp "$data/personal_quoted.in" /home/bob/.mime.types && chown bob:plimgrp /home/bob/.mime.types &&
  chmod 600 /home/bob/.mime.types
mkdir -p /usr/local/etc /usr/etc
cp "$data/mailcap_earlier_install.in" /usr/local/etc/mailcap && chmod 640 /usr/local/etc/mailcap
chgrp bob /usr/local/etc/mailcap
ln -s /usr/local/etc/mailcap /etc/mailcap
echo "relative" >/usr/local/etc/other && ln -s ../local/etc/other /usr/etc/mailcap
cp "$data/system_plain.in" /etc/mime.types

browser=$(install_stand_in /opt/netscape)
root_browser=$(start_browser root "$browser")
./install <<<$'\n\ny\ny\nn' >out 2>err
assert_eq 0 "$?" "root's installation: $(cat err)"
out=$(cat out)
assert_contains "$out" $'Update:\tmimetypes file /etc/mime.types\nUpdate:\tmailcap file /usr/local/etc/mailcap\n' \
  "system files, links followed to absolute targets only"
assert_not_contains "$out" "/usr/etc/mailcap" "the relative link"
assert_not_contains "$(cat err)" "Failed" "root's error output"

assert_update /usr/local/etc/mailcap mailcap_earlier_install.kept mailcap_entries.txt
assert_ok "the mailcap backup" cmp -s "$data/mailcap_earlier_install.in" /usr/local/etc/mailcap.save
assert_eq "/usr/local/etc/mailcap 640 root bob" "$(stat -c '%n %a %U %G' "$(readlink /etc/mailcap)")" "link target"
assert_eq "relative" "$(cat /usr/etc/mailcap)" "relative target"
assert_no_file /usr/local/etc/other.save
assert_update /etc/mime.types system_plain.kept system_entries.txt
assert_no_file /usr/etc/mime.types
assert_no_file /var/etc/mime.types

assert_update /home/alice/.mailcap empty.kept mailcap_entries.txt
assert_update /home/alice/.mime.types empty.kept personal_entries.txt
assert_eq "644 alice alice" "$(stat -c '%a %U %G' /home/alice/.mime.types)" "created as a file of text, owned like the home directory"
assert_update /home/bob/.mime.types personal_quoted.kept personal_entries.txt
assert_eq "600 bob plimgrp" "$(stat -c '%a %U %G' /home/bob/.mime.types)" "bob's rewritten file"
assert_ok "bob's backup" cmp -s "$data/personal_quoted.in" '/home/bob/.mime.types~'
# Every account with a home directory, service accounts included. The files
# belong to the home's owner, or, in a home its group may write (the mail
# spool), to the one account of that group, which controls it.
writer_of() {
  local home=$1 owner
  owner=$(stat -c %U "$home")
  if [[ $(stat -c %A "$home") == ?????w?* && $(stat -c %g "$home") != 0 ]]; then
    owner=$(getent passwd | awk -F: -v gid="$(stat -c %g "$home")" '$4 == gid && $3 != 0 { print $1 }')
  fi
  echo "$owner"
}
while IFS=: read -r name _ _ _ _ home _; do
  [[ -d $home ]] || continue
  for file in .mailcap .mime.types; do
    assert_eq "$(writer_of "$home")" "$(stat -c %U "$home/$file" 2>&1)" "owner of $name's $file"
  done
done < <(getent passwd)

# A second update changes no byte (a personal .mime.types created anew gains
# its header line, though).
files=(/etc/mime.types /usr/local/etc/mailcap /home/*/.mailcap /home/bob/.mime.types /root/.mailcap)
before=$(md5sum "${files[@]}")
"$probe" register "$idir" >/dev/null 2>&1
assert_eq "$before" "$(md5sum "${files[@]}")" "files after a second update"

kill "$root_browser"
pass
