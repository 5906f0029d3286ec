# shellcheck shell=bash
# Helpers for the end-to-end scenarios in tests/e2e/. A scenario sources this
# file, runs as root inside testing/sandbox, counts its checks through the
# assertions below and ends with `pass`. The first failed check ends the
# scenario with status 1 and says what was expected.

: "${PLIM_BUILD_DIR:?PLIM_BUILD_DIR must name the build directory}"
: "${PLIM_SOURCE_DIR:?PLIM_SOURCE_DIR must name the source directory}"
# shellcheck disable=SC2034  # for the scripts that source this
INSTALLER=$PLIM_BUILD_DIR/plim-installer
E2E_PASSED=0
# shellcheck disable=SC2034  # scripts that end early set it, read by the EXIT trap
E2E_DONE=0

# A scenario that stops without reaching `pass` (a typo, an unexpected exit 0)
# must not look like a success.
e2e_on_exit() {
  local status=$?
  if ((status == 0 && !E2E_DONE)); then
    echo "FAIL: ${0##*/} ended before its last check (after $E2E_PASSED passed)" >&2
    exit 1
  fi
}
trap e2e_on_exit EXIT
# A failure inside a subshell (uid=$(add_user ...)) ends the scenario too.
trap 'E2E_DONE=1; exit 1' USR1

fail() {
  echo "FAIL: $*" >&2
  echo "$E2E_PASSED passed, 1 failed" >&2
  E2E_DONE=1
  if [[ $BASHPID != "$$" ]]; then kill -USR1 "$$"; fi
  exit 1
}

e2e_ok() { ((++E2E_PASSED)); }

# assert_eq EXPECTED ACTUAL [WHAT]
assert_eq() {
  [[ $1 == "$2" ]] || fail "${3:-value}: expected [$1], got [$2]"
  e2e_ok
}

# assert_contains HAYSTACK NEEDLE [WHAT]
assert_contains() {
  [[ $1 == *"$2"* ]] || fail "${3:-output} does not contain [$2]; it was:
$1"
  e2e_ok
}

# assert_not_contains HAYSTACK NEEDLE [WHAT]
assert_not_contains() {
  [[ $1 != *"$2"* ]] || fail "${3:-output} contains [$2]; it was:
$1"
  e2e_ok
}

# assert_file PATH: PATH exists (any kind of file).
assert_file() {
  [[ -e $1 || -L $1 ]] || fail "expected $1 to exist"
  e2e_ok
}

# assert_no_file PATH: nothing at PATH, not even a dangling symbolic link.
assert_no_file() {
  [[ ! -e $1 && ! -L $1 ]] || fail "expected no $1, found: $(ls -ld -- "$1")"
  e2e_ok
}

# assert_status EXPECTED CMD...: runs CMD and checks its exit status.
assert_status() {
  local expected=$1 status=0
  shift
  "$@" || status=$?
  ((status == expected)) || fail "status of [$*]: expected $expected, got $status"
  e2e_ok
}

# assert_ok WHAT CMD...: runs CMD (cmp -s, diff -r, ...), which must succeed.
assert_ok() {
  local what=$1
  shift
  "$@" || fail "$what (the check was [$*])"
  e2e_ok
}

# eventually CMD...: runs CMD every tenth of a second until it succeeds, for
# at most ten seconds; fails (status 1) if it never does.
eventually() {
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# pass: the scenario's last line.
pass() {
  E2E_DONE=1
  echo "$E2E_PASSED passed, 0 failed"
  exit 0
}

# e2e_workdir NAME: makes a fresh directory /tmp/NAME.XXXXXX that every
# account may read, enters it and keeps its path in $work.
e2e_workdir() {
  work=$(mktemp -d "/tmp/$1.XXXXXX") && chmod 755 "$work" && cd "$work" ||
    fail "cannot make the work directory for $1"
}

# add_user NAME [HOME]: creates an ordinary account (uid 1500 and up) with its
# home directory, inside the sandbox only. Prints the uid.
add_user() {
  "$PLIM_SOURCE_DIR/testing/create_account" "$@" || fail "cannot create the account $1"
}

# as_user NAME CMD...: runs CMD as NAME, with HOME, USER and LOGNAME of NAME.
as_user() {
  local name=$1 entry uid gid home
  shift
  entry=$(getent passwd "$name") || fail "no account $name"
  IFS=: read -r _ _ uid gid _ home _ <<<"$entry"
  setpriv --reuid="$uid" --regid="$gid" --init-groups \
    env HOME="$home" USER="$name" LOGNAME="$name" "$@"
}

# small_disk PATH SIZE [OWNER]: a tmpfs of SIZE bytes (64k, 1m) at PATH, so
# that writes there run out of space; owned by OWNER when given.
small_disk() {
  mkdir -p -- "$1" &&
    mount -t tmpfs -o "size=$2,mode=0755" e2e-small-disk "$1" ||
    fail "cannot mount a $2 tmpfs on $1"
  if [[ -n ${3:-} ]]; then chown "$3:" "$1" || fail "cannot give $1 to $3"; fi
}

# make_package OUT IMAGE LICENSE_GZ ARCHIVE_GZ [VERSION]: builds OUT, version
# VERSION ("major minor patch delta", by default "3 2 5 3"), with package
# mode of IMAGE (run as "package" in a scratch directory, so that it writes
# "install" there), the members named "license.txt.gz" and "Plim.tar.gz"
# whatever the files are called.
make_package() {
  local out=$1 image=$2 license=$3 archive=$4 version dir
  read -ra version <<<"${5:-3 2 5 3}"
  dir=$(mktemp -d /tmp/make-package.XXXXXX) &&
    cp -- "$image" "$dir/package" && cp -- "$license" "$dir/license.txt.gz" &&
    cp -- "$archive" "$dir/Plim.tar.gz" &&
    (cd "$dir" && ./package "${version[@]}" license.txt.gz Plim.tar.gz >build.out 2>&1) &&
    mv -f -- "$dir/install" "$out" ||
    fail "cannot build the package $out: $(cat "$dir/build.out" 2>/dev/null)"
  rm -rf -- "$dir"
}

# assemble_package OUT IMAGE LICENSE_GZ ARCHIVE_GZ [VERSION]: writes OUT as
# make_package would, byte for byte, but joins the parts itself: package mode
# refuses members that are damaged or no tar archive, and the installer's
# handling of such members is tested too.
assemble_package() {
  local out=$1 image=$2 license=$3 archive=$4 version sizes=() file n
  read -ra version <<<"${5:-3 2 5 3}"
  for file in "$image" "$license" "$archive"; do sizes+=("$(stat -c %s -- "$file")") || return 1; done
  le32() { n=$1; printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $((n >> 8 & 255)) $((n >> 16 & 255)) $((n >> 24 & 255)); }
  # shellcheck disable=SC2059 # the formats are the escaped bytes themselves
  {
    cat -- "$image" "$license" "$archive" &&
      printf 'license.txt.gz\0Plim.tar.gz\0EOFwytEOF\0' &&
      printf "$(printf '\\x%02x' "${version[@]}")\\0\\0$(le32 "${sizes[0]}")$(le32 "${sizes[1]}")$(le32 "${sizes[2]}")"
  } >"$out" && chmod 0755 "$out" || fail "cannot assemble the package $out"
}

# make_payload DIR: writes DIR/license.txt.gz (a short licence text) and
# DIR/Plim.tar.gz, made of DIR/tree (mode 0755, as unpacking root gives it to
# the target): a libc5 and a libc6 library stand-in, a viewer and a page.
make_payload() {
  local tree=$1/tree
  mkdir -p "$tree/doc" && chmod 755 "$tree" "$tree/doc" &&
    printf 'Plim test licence\nUse it for testing only.\n' | gzip -9 >"$1/license.txt.gz" &&
    printf 'libc5 plug-in stand-in\n' >"$tree/nsplimmo_libc5.so" &&
    printf 'libc6 plug-in stand-in\n' >"$tree/nsplimmo_libc6.so" &&
    printf '#!/bin/sh\necho viewer\n' >"$tree/plimview" && chmod 0755 "$tree/plimview" &&
    printf '<html><body>Welcome</body></html>\n' >"$tree/doc/welcome.html" &&
    tar -C "$tree" -czf "$1/Plim.tar.gz" . ||
    fail "cannot make the test payload in $1"
}

# make_test_package DIR: the payload of make_payload in DIR and DIR/install,
# the package made of it by make_package (version 3.2.5.3).
make_test_package() {
  make_payload "$1"
  make_package "$1/install" "$INSTALLER" "$1/license.txt.gz" "$1/Plim.tar.gz"
}
