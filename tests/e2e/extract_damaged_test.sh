# A damaged package is not reported as success: a member that gunzip or tar
# cannot unpack prints the failing program's status and ends with status 1,
# in standard error and in the run log; the compressed archive never stays behind.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

work=$(mktemp -d /tmp/damaged.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
head -c $(($(stat -c %s Plim.tar.gz) / 2)) Plim.tar.gz > cut.tar.gz
head -c $(($(stat -c %s license.txt.gz) - 12)) license.txt.gz > cut.txt.gz
echo "no tar archive" | gzip > notar.tar.gz

check_damaged() { # ARCHIVE LICENSE EXPECTED-LINE WHAT
  rm -rf out install.log
  make_package "$work/install" "$INSTALLER" "$2" "$1"
  ./install --extract=out >/dev/null 2>err
  assert_eq 1 $? "status with $4"
  assert_contains "$(cat err)" "$3" "standard error with $4"
  assert_contains "$(cat install.log)" "$3" "run log with $4"
  assert_no_file out/Plim.tar.gz
}

check_damaged cut.tar.gz license.txt.gz $'Error:\tgunzip exited with status 1' "a truncated archive"
check_damaged notar.tar.gz license.txt.gz $'Error:\ttar exited with status 2' "an archive that is no tar file"
check_damaged Plim.tar.gz cut.txt.gz $'Error:\tgunzip exited with status 1' "a truncated licence"
assert_no_file out/nsplimmo_libc6.so

pass
