# An installation run up to the unpacking, on a real package, with a running
# stand-in browser: alice declines (status 1, nothing installed), accepts
# (banner, settings printout, the 200 KB licence paged whole by less, the
# members, ~/.Plim/plugin.conf), and runs again (the prefix question skipped,
# the previous-installation question asked; no and no change nothing). Root's
# default prefix is /opt and its settings go to /etc/Plim/plugin.conf.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022
# A terminal type that clear knows, so that every banner starts the same way.
export TERM=xterm

work=$(mktemp -d /tmp/installrun.XXXXXX)
chmod 755 "$work"
cd "$work" || fail "cd $work"

# The payload, with a licence larger than a pipe buffer.
make_payload "$work"
base64 -w 76 </dev/urandom | head -c 200000 >licence.txt
echo "END OF LICENCE" >>licence.txt
gzip -9c licence.txt >license.txt.gz
members=(./nsplimmo_libc5.so ./nsplimmo_libc6.so ./plimview ./doc/welcome.html)
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz

rule="+---------------------------------------------------------------------------+"
version_line="|             P l i m   P l u g i n   V e r s i o n   3 . 2 . 5             |"
banner=$'\f\n'"$(clear)$rule"$'\n'"$version_line"$'\n'"$rule"$'\n\n'
prefix_question=$'Where would you do you wish to install the Plim(tm) plugin.\nA subdirectory of ./Fernhollow-Plim will automatically be created.\n'
enter_prompt="Please press Enter to view the license Agreement ..."
accept_question="Do you accept the Plim(tm) Plugin license agreement? (y/n) "

# run USER INPUT [ARG...]: runs the package in $work as USER, feeding INPUT;
# sets status, out and err (final line ends kept).
run() {
  local user=$1 input=$2
  shift 2
  if [[ $user == root ]]; then
    ./install "$@" <<<"$input" >out 2>err
  else
    as_user "$user" ./install "$@" <<<"$input" >out 2>err
  fi
  status=$?
  out=$(cat out; echo .) err=$(cat err; echo .)
  out=${out%.} err=${err%.}
}

# progress: the Create/Execute lines of the last run, one per line.
progress() { grep -aoE $'(Create|Execute):\t.*' out; }

# snapshot DIR...: names, modes, sizes, times and contents of every file below.
snapshot() {
  find "$@" -printf '%p %m %s %T@\n' | sort
  find "$@" -type f -exec md5sum {} + | sort
}

add_user alice >/dev/null
touch install.log && chmod 666 install.log  # the run log beside the package, written by alice too
browser=$(install_stand_in /opt/netscape)
alice_browser=$(start_browser alice "$browser")

# alice declines: an empty line takes the offered home, Enter shows the licence.
run alice $'\n\nn'
assert_eq 1 "$status" "status after declining"
assert_contains "$out" "${prefix_question}[/home/alice] : " "prefix question with alice's default"
assert_contains "$out" "${banner}Please delete this software."$'\n\n' "the decline's banner and line"
[[ $out == *"Please delete this software."$'\n\n' ]] || fail "output does not end with the decline line: ${out: -200}"
e2e_ok
assert_eq "" "$(ls -A /home/alice/Fernhollow-Plim/NetscapePlugin)" "install directory after declining"
assert_no_file /home/alice/.Plim
assert_contains "$(cat install.log)" "Please delete this software." "decline in the run log"

# alice accepts, with a prefix other than the default so that the second run
# shows its source.
prefix=/home/alice/plim
idir=$prefix/Fernhollow-Plim/NetscapePlugin
conf=/home/alice/.Plim/plugin.conf
run alice $'/home/alice/plim\ny\n\ny\nn\nn'
assert_eq 0 "$status" "status of the installation (stopped after the unpacking)"
printout="prefix='$prefix'"$'\n'"netscape='$browser'"$'\n'"mozilla='/opt/netscape/'"$'\n\n'
assert_contains "$out" "${banner}${printout}${enter_prompt}" "banner, settings printout and the licence prompt"
assert_eq 1 "$(grep -c 'W E L C O M E' out)" "welcome texts"
# The licence, whole, right after its "Create:" line; less added nothing.
licence_line=$'Create:\t'"$idir/license.txt.gz"
offset=$(grep -abo "$licence_line" out | head -1 | cut -d: -f1)
[[ -n $offset ]] || fail "no line [$licence_line] in the output"
start=$((offset + ${#licence_line} + 1)) size=$(stat -c %s licence.txt)
tail -c +$((start + 1)) out | head -c "$size" | cmp -s - licence.txt ||
  fail "the paged licence differs from the licence text"
e2e_ok
# The rest of the checks see the licence as one short line.
out=$(head -c "$start" out; echo "<licence>"; tail -c +$((start + size + 1)) out; echo .)
out=${out%.}
assert_contains "$out" $'\n<licence>\n'"$banner$accept_question" "acceptance question after the licence"
assert_eq "$(printf 'Create:\t%s\n' "$idir/license.txt.gz" "$conf" "$idir/uninstall" "$idir/license.txt.gz"
  printf 'Execute:\tgunzip -f license.txt.gz\nCreate:\t%s\n' "$idir/Plim.tar.gz"
  printf 'Create:\t%s\n' "Netscape links" /home/alice/.netscape /home/alice/.netscape/plugins)" \
  "$(progress)" "progress lines of the installation"
assert_eq "$idir" "$(readlink /home/alice/.netscape/Plim)" "directory link"
assert_eq "$(stat -c %i "$idir/nsplimmo_libc6.so")" "$(stat -c %i /home/alice/.netscape/plugins/nsplimmo.so)" \
  "the plug-in is a hard link of the libc 6 library"
for member in "${members[@]}"; do
  assert_contains "$out" " $member"$'\n' "tar's listing"
  cmp -s "tree/$member" "$idir/$member" || fail "member $member differs after the unpacking"
  e2e_ok
done
assert_eq "drwxr-xr-x alice" "$(stat -c '%A %U' "$idir")" "install directory"
assert_eq "-rwxr-xr-x $(stat -c %s "$INSTALLER")" "$(stat -c '%A %s' "$idir/uninstall")" "uninstall: mode and size"
cmp -s "$INSTALLER" "$idir/uninstall" || fail "uninstall is not the bare installer image"
e2e_ok
cmp -s licence.txt "$idir/license.txt" || fail "license.txt differs from the licence text"
e2e_ok
assert_eq "" "$(find "$prefix" -name '*.gz' -o -name '*~')" "compressed or backup files left"
assert_eq "drwxr-xr-x alice" "$(stat -c '%A %U' /home/alice/.Plim)" "settings directory made"
assert_eq "prefix='$prefix'
netscape='$browser'
mozilla='/opt/netscape/'
version='3.2.5.3'
license='license.txt'" "$(cat "$conf")" "alice's settings file"
assert_no_file /etc/Plim/plugin.conf

# alice runs again: the settings file is read back.
before=$(snapshot "$prefix" /home/alice/.Plim)
run alice $'n\nn'
assert_eq 0 "$status" "status after no and no"
assert_not_contains "$out" "Where would you" "the prefix question"
assert_contains "$out" "A previous installation of the plugin has been found at:"$'\n\t'"$idir"$'\n'"$banner" \
  "previous installation found"
# The first banner of the run carries the welcome text.
assert_contains "$out" $'L i n u x\n\n\n'"Do you wish to upgrade your plugin? (y/n) " "upgrade question"
[[ $out == *"${banner}Do you wish to uninstall your plugin? (y/n) " ]] ||
  fail "the run did not end at the uninstall question: ${out: -300}"
e2e_ok
assert_eq "$before" "$(snapshot "$prefix" /home/alice/.Plim)" "installation after no and no"

# root: default prefix /opt, the system settings file.
root_browser=$(start_browser root "$browser")
run root $'\n\ny\nn\nn'
assert_eq 0 "$status" "status of root's installation"
assert_contains "$out" "${prefix_question}[/opt] : " "root's default prefix"
assert_eq "$(printf 'Create:\t%s\n' /opt/Fernhollow-Plim/NetscapePlugin/license.txt.gz /etc/Plim/plugin.conf)" \
  "$(progress | head -2)" "root's settings file"
assert_eq "drwxr-xr-x" "$(stat -c %A /etc/Plim)" "system settings directory made"
assert_eq "prefix='/opt'
netscape='$browser'
mozilla='/opt/netscape/'
version='3.2.5.3'
license='license.txt'" "$(cat /etc/Plim/plugin.conf)" "root's settings file"
assert_file /opt/Fernhollow-Plim/NetscapePlugin/nsplimmo_libc6.so
assert_eq "$before" "$(snapshot "$prefix" /home/alice/.Plim)" "alice's installation after root's"

kill "$alice_browser" "$root_browser"
pass
