# shellcheck shell=bash
# Faults a real machine brings: a full disk, a tool missing from PATH, a
# damaged package, an installer killed mid-upgrade. Each run ends with a
# message and its status, and costs the user nothing they had; a run after a
# kill completes. Each case prints "case | status | last error line" for the
# table in docs/robustness.md.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
source "$PLIM_SOURCE_DIR/testing/browser_lib.sh"
umask 022

e2e_workdir faults
make_test_package "$work"
browser=$(install_stand_in /opt/netscape)
installed=/opt/Fernhollow-Plim/NetscapePlugin
upgrade=$'\ny\nn\nn'  # with --upgrade: Enter for the licence, accept, no MIME, no refresh

# run CASE PACKAGE INPUT ARG...: runs PACKAGE, sets status, out, err and
# prints the case's row.
run() {
  local name=$1 package=$2 input=$3
  shift 3
  "$package" "$@" <<<"$input" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
  echo "ROW $name | $status | $(grep -a . "$work/err" | tail -1)"
}
# Its arguments come through run, which shellcheck does not follow.
# shellcheck disable=SC2120
installation() { ./install --prefix=/opt --netscape="$browser" "$@"; }

# fresh: a completed installation in /opt, its state saved in $before.
fresh() {
  rm -rf /opt/Fernhollow-Plim /etc/Plim /opt/netscape/plugins/nsplimmo.so
  # shellcheck disable=SC2119
  installation <<<$'\ny\nn\nn' >/dev/null 2>&1 || fail "the first installation failed"
  before=$(state)
}
# What is left in DIR as the table shows it: ls's names, or its complaint.
# shellcheck disable=SC2012
listing() { ls "$1" 2>&1 | tr '\n' ' '; }
# Every name in DIR, hidden ones too (a staged tree is one), on one line.
# shellcheck disable=SC2012
entries() { ls -A "$1" 2>&1 | paste -sd ' '; }
state() { find "$installed" /etc/Plim -printf '%p %m %s\n' | sort; find "$installed" /etc/Plim -type f -exec md5sum {} + | sort; }
assert_kept() { assert_eq "$before" "$(state)" "$1: the installation left as it was"; }
# assert_installed CASE: the upgrade completed: members, settings and link.
assert_installed() {
  assert_eq 0 "$status" "$1: status"
  assert_ok "$1: plimview installed" cmp -s tree/plimview "$installed/plimview"
  assert_eq "prefix='/opt'" "$(head -1 /etc/Plim/plugin.conf)" "$1: settings"
  assert_eq "$installed/nsplimmo_libc6.so" "$(readlink /opt/netscape/plugins/nsplimmo.so)" "$1: link"
  assert_eq "" "$(find "$installed" -maxdepth 1 -name '*.gz' -printf '%f\n')" "$1: temporary copies"
}

# fill DIR [KEEP]: fills the disk of DIR until KEEP bytes (default 0) are free.
fill() {
  head -c 100M /dev/zero >"$1/.fill" 2>/dev/null
  (( ${2:-0} )) && truncate -s "-${2}" "$1/.fill"
}

# A full disk. The user's own file on that disk stays. Room for the copies of
# the program made below, whose size depends on the build (sanitizers).
small_disk /tmp/full "$(( $(stat -c %s "$INSTALLER") * 3 / 1048576 + 16 ))m"
cp install /tmp/full/package && echo "mine" >/tmp/full/mine
fill /tmp/full
run "full disk, --extract" ./install "" --extract=/tmp/full/x
assert_eq 1 "$status" "extract on a full disk: status"
assert_contains "$err" "No space left on device" "extract on a full disk"
assert_eq mine "$(cat /tmp/full/mine)" "extract on a full disk: the user's file"

rm /tmp/full/.fill && mkdir /tmp/full/build && cd /tmp/full/build || fail "cd"
cp "$INSTALLER" package && cp "$work"/*.gz . && echo "previous package" >install || fail "cannot set up the build on the small disk"
fill /tmp/full
run "full disk, package mode" ./package "" 3 2 5 3 license.txt.gz Plim.tar.gz
assert_eq 1 "$status" "package on a full disk: status"
assert_contains "$err" "No space left on device" "package on a full disk"
assert_eq "previous package" "$(cat install)" "package on a full disk: the previous install"
cd "$work" && rm -rf /tmp/full/build /tmp/full/.fill

# The settings file of a first installation.
umount /tmp/full && small_disk /etc/Plim 64k
echo "mine" >/etc/Plim/mine
fill /etc/Plim
run "full disk, settings file" installation "$upgrade"
assert_contains "$err" $'Error:\tFailed to write /etc/Plim/plugin.conf' "settings on a full disk"
assert_eq ".fill mine" "$(find /etc/Plim -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | paste -sd ' ')" "settings on a full disk: what is left"
umount /etc/Plim

fresh
small_disk /tmp/full 16m
echo "mine" >/tmp/full/mine
fill /tmp/full $(($(stat -c %s install) + 8192))
run "full disk, unpacking" ./install $'\ny\nn\nn' --prefix=/tmp/full --netscape="$browser"
assert_eq 1 "$status" "unpacking on a full disk: status"
assert_contains "$err" "No space left on device" "unpacking on a full disk"
assert_eq mine "$(cat /tmp/full/mine)" "unpacking on a full disk: the user's file"
echo "left: $(cd /tmp/full && find . -type f | sort | tr '\n' ' ')"
umount /tmp/full

# A tool missing from PATH: a directory of links to every other tool. Each
# row: tool, the line the user sees, status, whether the installation stays
# (gunzip and tar are both tried before the previous installation goes).
tools=(
  "gunzip|Failed to execute gunzip|1|kept"
  "tar|Failed to execute tar|1|kept"
  "less||0|new"  # the licence goes to the terminal itself
  "clear|execve: No such file or directory|0|new"
  "rm||0|new"  # the removal needs no rm
)
# The links are made once (thousands of them) and copied for each row.
mkdir "$work/path-all"
for d in ${PATH//:/ }; do
  for f in "$d"/*; do [[ -x $f && ! -e $work/path-all/${f##*/} ]] && ln -s "$f" "$work/path-all/"; done
done
for row in "${tools[@]}"; do
  IFS='|' read -r tool message expected kept <<<"$row"
  fresh
  dir=$work/path-$tool
  cp -a "$work/path-all" "$dir" && rm "$dir/$tool" || fail "cannot make a PATH without $tool"
  PATH=$dir run "$tool missing" ./install "$upgrade" --upgrade
  echo "left: $(listing "$installed")"
  assert_contains "$err" "$(printf '%b' "$message")" "$tool missing"
  if [[ $tool == less ]]; then assert_contains "$out" "Plim test licence" "less missing: the licence shown"; fi
  assert_eq "$expected" "$status" "$tool missing: status"
  if [[ $kept == kept ]]; then assert_kept "$tool missing"; fi
  if [[ $kept == new ]]; then assert_installed "$tool missing"; fi
done

# A damaged package, over a completed installation: truncated inside each
# part, a byte flipped in the licence and the archive, lengths past the end.
size=$(stat -c %s install) image=$(stat -c %s "$INSTALLER")
licence=$(stat -c %s license.txt.gz)
damage() { cp install bad && chmod 755 bad; }
cases=(
  "cut in the image|damage; truncate -s $((image / 2)) bad"
  "cut in the licence|damage; truncate -s $((image + licence / 2)) bad"
  "cut in the archive|damage; truncate -s $((image + licence + 40)) bad"
  "cut in the trailer|damage; truncate -s $((size - 10)) bad"
  "flipped licence byte|damage; printf '\xff' | dd of=bad bs=1 seek=$((image + licence / 2)) conv=notrunc 2>/dev/null"
  "flipped archive byte|damage; printf '\xff' | dd of=bad bs=1 seek=$((image + licence + 40)) conv=notrunc 2>/dev/null"
  "lengths past the end|damage; printf '\xff\xff\xff\x7f' | dd of=bad bs=1 seek=$((size - 4)) conv=notrunc 2>/dev/null"
)
for c in "${cases[@]}"; do
  fresh
  eval "${c#*|}"
  run "${c%%|*}" ./bad "$upgrade" --upgrade
  # Cut inside the image, the program itself is damaged: how it fails
  # depends on the build's layout (a crash under the sanitizers), but fail it does.
  if [[ $c == "cut in the image"* ]]; then
    assert_eq 1 "$((status != 0))" "${c%%|*}: failure status ($status)"
  else
    assert_eq 1 "$status" "${c%%|*}: status"
  fi
  assert_kept "${c%%|*}"
done

# An archive that lists as tar but cannot be unpacked (a file "doc", then
# "doc/x" below it) passes the check at the start; tar fails in the staged
# tree and the installation stays.
mkdir -p "$work/unpackable/file" "$work/unpackable/dir/doc" && echo a >"$work/unpackable/file/doc" &&
  echo b >"$work/unpackable/dir/doc/x" &&
  tar -cf "$work/unpackable.tar" -C "$work/unpackable/file" ./doc &&
  tar -rf "$work/unpackable.tar" -C "$work/unpackable/dir" ./doc/x && gzip "$work/unpackable.tar" ||
  fail "cannot make the archive that does not unpack"
assemble_package "$work/unpackable-package" "$INSTALLER" license.txt.gz "$work/unpackable.tar.gz"
fresh
run "archive that does not unpack" "$work/unpackable-package" "$upgrade" --upgrade
assert_eq 1 "$status" "archive that does not unpack: status"
assert_contains "$err" "Cannot open: Not a directory" "archive that does not unpack"
assert_kept "archive that does not unpack"
assert_eq "NetscapePlugin" "$(entries /opt/Fernhollow-Plim)" "archive that does not unpack: nothing staged is left"

# An upgrade that no longer fits its disk: the old tree and the new one
# cannot both be there, so the new one fails while staged.
small_disk /tmp/full 24m
./install --prefix=/tmp/full --netscape="$browser" <<<$'\ny\nn\nn' >/dev/null 2>&1 ||
  fail "the installation on the small disk failed"
full_state() { find /tmp/full/Fernhollow-Plim -printf '%p %m %s\n' | sort; cat /etc/Plim/plugin.conf; }
kept_full=$(full_state)
fill /tmp/full 1048576
run "full disk, upgrade" ./install "$upgrade" --upgrade
assert_eq 1 "$status" "upgrade on a full disk: status"
assert_contains "$err" "No space left on device" "upgrade on a full disk"
assert_eq "$kept_full" "$(full_state)" "upgrade on a full disk: the installation left as it was"
umount /tmp/full

# Killed at a question and while gunzip or tar runs, then run again. The
# stand-in tool sleeps first (tar "after" unpacks first, then sleeps); the
# kill comes when it has started. Asked only whether it is there (tar
# --version, before the unpacking), or to check the package before anything
# is asked (its messages discarded), it is the real one. Before the swap the
# old installation is whole; after it (at the MIME question), the new one.
mkdir "$work/slow" "$work/late" "$work/plain" && mkfifo "$work/answers"
for t in gunzip tar; do
  # The script's own words, kept literal for the slow tool.
  # shellcheck disable=SC2016
  printf '#!/bin/sh\n{ [ "$1" = --version ] || [ /dev/stderr -ef /dev/null ]; } && exec %s "$@"\necho $$ >%s/started\nexec sleep 600\n' \
    "$(command -v $t)" "$work" >"$work/slow/$t"
done
# shellcheck disable=SC2016
printf '#!/bin/sh\n[ /dev/stderr -ef /dev/null ] && exec %s "$@"\n%s "$@" || exit\necho $$ >%s/started\nexec sleep 600\n' \
  "$(command -v tar)" "$(command -v tar)" "$work" >"$work/late/tar"
chmod 755 "$work"/slow/* "$work"/late/*
kills=(
  "at the acceptance question|Do you accept||plain|old"
  "during the licence (gunzip)|started|y|slow|old"
  "just before tar unpacks|started|y|slow|old"
  "just after tar unpacked|started|y|late|old"
  "at the MIME question (after the swap)|update all mime|y|plain|new"
)
for k in "${kills[@]}"; do
  IFS='|' read -r name sign answer tools whole <<<"$k"
  fresh
  rm -f "$work/started"
  slow=$work/$tools
  [[ $name == *gunzip* ]] && mv "$slow/tar" "$slow/tar.off"
  [[ $name == *before\ tar* ]] && mv "$slow/gunzip" "$slow/gunzip.off"
  PATH=$slow:$PATH ./install --upgrade <"$work/answers" >out 2>err &
  pid=$!
  exec 3>"$work/answers"
  printf '\n%s\n' "$answer" >&3
  eventually grep -qa "$sign" out "$work/started" 2>/dev/null
  kill -KILL "$pid"
  wait "$pid"
  status=$?
  echo "ROW killed $name | $status | left: $(entries /opt/Fernhollow-Plim)"
  [[ -s $work/started ]] && kill -KILL "$(cat "$work/started")"
  exec 3>&-
  for f in "$slow"/*.off; do [[ -e $f ]] && mv "$f" "${f%.off}"; done
  assert_eq 137 "$status" "killed $name: killed"
  if [[ $whole == old ]]; then assert_kept "killed $name"; fi
  if [[ $whole == new ]]; then status=0 assert_installed "killed $name"; fi
  run "rerun after kill $name" ./install "$upgrade" --upgrade
  assert_installed "rerun after kill $name"
  assert_eq "NetscapePlugin" "$(entries /opt/Fernhollow-Plim)" "rerun after kill $name: the staged tree removed"
done

# Two upgrades at once: the second finds the first at work and changes
# nothing; the first completes.
fresh
# shellcheck disable=SC2016
printf '#!/bin/sh\n{ [ "$1" = --version ] || [ /dev/stderr -ef /dev/null ]; } && exec %s "$@"\nwhile [ ! -e %s/go ]; do sleep 0.1; done\nexec %s "$@"\n' \
  "$(command -v tar)" "$work" "$(command -v tar)" >"$work/slow/held-tar"
chmod 755 "$work/slow/held-tar" && mkdir "$work/held" && ln -s "$work/slow/held-tar" "$work/held/tar"
PATH=$work/held:$PATH ./install --upgrade <<<"$upgrade" >out 2>err &
first=$!
eventually pgrep -f held-tar >/dev/null
run "second upgrade at once" ./install "$upgrade" --upgrade
assert_eq 1 "$status" "second upgrade at once: status"
assert_contains "$err" "Another run is changing /opt/Fernhollow-Plim" "second upgrade at once"
touch "$work/go"
wait "$first"
status=$?
assert_installed "first upgrade beside a second"
log=$(cat install.log)
assert_contains "$log" $'Create:\tNetscape links' "first upgrade beside a second: its log whole"
assert_not_contains "$log" "Another run" "first upgrade beside a second: the second run kept out of its log"
assert_eq "NetscapePlugin" "$(entries /opt/Fernhollow-Plim)" "first upgrade beside a second: nothing staged left"

# A declined licence leaves nothing, not even the prefix it made (within an
# existing prefix: tests/cases/root-decline, alice-decline).
rm -rf /opt/Fernhollow-Plim /etc/Plim
run "declined licence" ./install $'\nn' --prefix=/opt/new --netscape="$browser"
assert_eq 1 "$status" "declined licence: status"
assert_eq "" "$(ls -d /opt/new 2>/dev/null)" "declined licence: the prefix it made is gone"

# An interrupt at the licence question of a first installation leaves nothing
# either: the directories it made go before the signal ends the run.
exec 3<>"$work/answers"
./install --prefix=/opt/new --netscape="$browser" <"$work/answers" >out 2>err &
pid=$!
printf '\n' >&3
eventually grep -qa "Do you accept" out
kill -INT "$pid"
wait "$pid"
status=$?
exec 3>&-
echo "ROW interrupted at the licence question | $status | left: $(ls -d /opt/new 2>&1)"
assert_eq 130 "$status" "interrupted at the licence question: ended by the signal"
assert_eq "" "$(ls -d /opt/new 2>/dev/null)" "interrupted at the licence question: the prefix it made is gone"

pass
