# shellcheck shell=bash
# Package mode's settings form, built twice from the same tree with a
# `touch` (and a file made again, which changes the directory's order) in
# between: with SOURCE_DATE_EPOCH the two packages are the same bytes, their
# archive sorted by name, every time the epoch (set, not clamped: files
# older than the epoch too), owners 0:0; without it, the behaviour of before
# (the two differ). A value that is no count of seconds is refused before
# anything is written.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"
umask 022

work=$(mktemp -d /tmp/reproducible.XXXXXX)
tree=$work/Fernhollow-Plim/NetscapePlugin
mkdir -p "$tree/doc" "$work/.Plim" && cp "$INSTALLER" "$work/package" || fail "cannot make the build directory"
for name in zeta alpha mid; do printf '%s\n' "$name" >"$tree/$name.so"; done
printf '<html>welcome</html>\n' >"$tree/doc/welcome.html"
printf 'My licence text\n' >"$tree/license.txt"
printf "prefix='%s'\nversion='1.0.2'\nlicense='license.txt'\n" "$work" >"$work/.Plim/plugin.conf"

# build NAME [VAR=VALUE...]: the settings form run in $work, its package
# kept as $work/NAME.
build() {
  local name=$1 out
  shift
  out=$(cd "$work" && env HOME="$work" "$@" ./package 2>&1)
  assert_eq 0 $? "status of build $name: $out"
  mv "$work/install" "$work/$name" || fail "no package from build $name"
}

# touched NAME SECONDS: every file of the tree gets the time SECONDS, and
# the file NAME.so is made again, the same text, so that its directory entry
# moves.
touched() {
  rm "$tree/$1.so" && printf '%s\n' "$1" >"$tree/$1.so" &&
    find "$tree" -exec touch -d "@$2" {} + || fail "cannot touch the tree"
}

# Times before the epoch, then after it: set, not clamped, both give the
# epoch.
epoch=1700000000
touched alpha $((epoch - 86400))
build first SOURCE_DATE_EPOCH=$epoch
touched mid $(($(date +%s) + 100))
build second SOURCE_DATE_EPOCH=$epoch
assert_ok "two builds with SOURCE_DATE_EPOCH the same bytes" cmp -s "$work/first" "$work/second"

# The archive, taken from the package by its trailer: names sorted, owners
# 0:0, every time the epoch.
read -r -a sizes < <(tail -c 12 "$work/second" | od -An -tu4 -v)
listing=$(tail -c +$((sizes[0] + sizes[1] + 1)) "$work/second" | head -c "${sizes[2]}" |
  TZ=UTC tar --numeric-owner --full-time -tvzf -)
assert_eq "./ ./alpha.so ./doc/ ./doc/welcome.html ./mid.so ./zeta.so" \
  "$(awk '{print $6}' <<<"$listing" | paste -sd ' ')" "the archive's names, in order"
assert_eq "0/0" "$(awk '{print $2}' <<<"$listing" | sort -u | paste -sd ' ')" "the archive's owners"
assert_eq "2023-11-14 22:13:20" "$(awk '{print $4, $5}' <<<"$listing" | sort -u | paste -sd ' ')" "the archive's times"
# The licence member's gzip header holds no time (bytes 4 to 7).
assert_eq "0" "$(tail -c +$((sizes[0] + 1)) "$work/second" | head -c 8 | od -An -tu4 -j4 | xargs)" \
  "the licence's gzip time"

# Without SOURCE_DATE_EPOCH, what it always was: the times go in.
build third
touched zeta $(($(date +%s) + 200))
build fourth
assert_status 1 cmp -s "$work/third" "$work/fourth"

# A value that is no count of seconds: refused, nothing written.
out=$(cd "$work" && env HOME="$work" SOURCE_DATE_EPOCH=yesterday ./package 2>&1)
assert_eq 1 $? "status with SOURCE_DATE_EPOCH=yesterday"
assert_contains "$out" $'Error:\tSOURCE_DATE_EPOCH is not a count of seconds: yesterday' "the refusal"
assert_no_file "$work/install"
pass
