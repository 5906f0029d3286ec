# The command line: the usage texts for each program name, --help before and
# after a bad option, a left-over operand, an option of another mode, and the
# odd extract values. Nothing here gets past option parsing, so no browser
# is needed.
set -uo pipefail
source "$PLIM_SOURCE_DIR/testing/e2e_lib.sh"

work=$(mktemp -d /tmp/cmdline.XXXXXX)
cd "$work" || fail "cd $work"
make_payload "$work"
make_package "$work/install" "$INSTALLER" license.txt.gz Plim.tar.gz

installer_usage() {
  printf 'Usage:\n\t%s --help\n' "$1"
  printf -- '-or-\t%s --extract=pathname [--config=filename] [--quiet]\n' "$1"
  printf -- '-or-\t%s --uninstall [--config=filename] [--quiet]\n' "$1"
  printf -- '-or-\t%s --upgrade [--config=filename] [--quiet]\n' "$1"
  printf -- '-or-\t%s [--config=filename] [--quiet] [--netscape=filename] [--mozilla=filename]\n' "$1"
  usage_tail "$1"
}
uninstaller_usage() {
  printf 'Usage:\n\t%s --help\n' "$1"
  printf -- '-or-\t%s [--config=filename] [--quiet]\n' "$1"
  usage_tail "$1"
}
usage_tail() {
  printf 'Usage:\n\t%s [--help] [--upgrade] [--uninstall]\n' "$1"
  printf '\t\t[--extract=pathname] [--prefix=pathname] [--config=filename]\n'
  printf 'Examples:\n\t%s --prefix=/opt\n\t%s --prefix=/usr/local\n\t%s --extract\n' "$1" "$1" "$1"
}
build_usage() {
  printf 'To build:\n\t%s major minor patch delta license archive\n' "$1"
  printf '\t-or-\n\t%s major minor 0 beta license archive\n' "$1"
  printf 'Examples:\n\t%s 2 0 2 1 License.txt.gz Plim.tar.gz\n' "$1"
  printf '\t%s 2 0 0 1 license.txt.gz plim.tar.gz\n' "$1"
}

# run EXPECTED_STATUS PROGRAM ARGS...: standard error goes to $err (line ends
# kept), standard output to $out.
run() {
  local expected=$1
  shift
  "$@" >"$work/out" 2>"$work/err" </dev/null
  assert_eq "$expected" "$?" "status of $*"
  out=$(cat "$work/out")
  err=$(cat "$work/err"; echo .)
  err=${err%.}
}

# The usage text for each program name, byte for byte.
for name in install uninstall Uninstall package; do
  cp install "$name"
done
run 0 ./install --help
assert_eq "$(installer_usage ./install; echo .)" "$err." "usage of an installer"
assert_eq "$(printf 'Find:\tSelf info\nParse:\tconfig files and options\n')" "$out" "output before the usage"
run 0 ./uninstall --help
assert_eq "$(uninstaller_usage ./uninstall; echo .)" "$err." "usage of the uninstaller"
# Another letter case still selects uninstalling, but the usage compares exactly.
run 0 ./Uninstall --help
assert_eq "$(installer_usage ./Uninstall; echo .)" "$err." "usage of Uninstall"
run 1 ./package --help
assert_eq "$(build_usage ./package; echo .)" "$err." "build usage"
run 0 "$work/install" -h
assert_eq "$(installer_usage "$work/install"; echo .)" "$err." "usage names the program path"

# --help counts only before the first bad option, where the scan stops.
run 0 ./install --help --bogus
assert_eq "$(installer_usage ./install; echo .)" "$err." "help before a bad option"
run 1 ./install --bogus --help
assert_eq "$(printf "Unrecognized option '--bogus'\n"; installer_usage ./install; echo .)" "$err." \
  "bad option before help: its message on a line of its own, then the usage"

run 1 ./install --quiet stray
assert_eq "$(printf 'Error:\tUnrecognized option: stray\n'; installer_usage ./install; echo .)" "$err." "left-over operand"

# An option of another mode's table: uninstalling takes no prefix.
run 1 ./install --uninstall --prefix=/opt
assert_eq "$(printf "Unrecognized option '--prefix=/opt'\n"; installer_usage ./install; echo .)" "$err." \
  "prefix with uninstall"
# Uninstall wins over extract, which its table then rejects.
run 1 ./install --extract=x --uninstall
assert_contains "$err" "Unrecognized option '--extract=x'" "extract with uninstall"
assert_no_file "$work/x"

# A profile file with a malformed line: its message, then the usage.
printf 'prefix /opt\n' >bad.conf
# --help is honoured before the named profile file is read.
run 0 ./install --config=bad.conf --help
assert_eq "$(installer_usage ./install; echo .)" "$err." "help before reading the config file"
run 1 ./install --config=bad.conf --quiet
assert_contains "$err" "$(printf "%s:Error in line 1 of profile 'plugin'\n\t--> prefix/opt\n" "bad.conf")" \
  "the profile message, on a line of its own"
assert_contains "$err" "$(printf '\nUsage:\n\t./install --help\n')" "usage after the profile message"

# extract with an empty value unpacks into the start directory; given last
# without a value it is "TRUE", a directory of that name.
mkdir empty-value && cd empty-value || fail "cd"
run 0 ../install --extract= --quiet
assert_contains "$out" "$(printf 'chdir:\t%s\n' "$work/empty-value")" "empty extract value"
assert_file "$work/empty-value/license.txt"
cd "$work" || fail "cd"
run 0 ./install --quiet --extract
assert_contains "$out" "$(printf 'chdir:\t%s/TRUE\n' "$work")" "bare extract"
assert_file "$work/TRUE/license.txt"

pass
