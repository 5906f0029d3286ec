# shellcheck shell=bash
# The set-up words of testing/run_cases ("setup WORD [VALUE...]" in a case),
# sourced by it inside the sandbox after testing/e2e_lib.sh and
# testing/browser_lib.sh. Each word is the function setup_WORD ("-" as "_");
# its values are the line's words after WORD. This comment is the set-up
# vocabulary: testing/run_cases reads the words, and which value names an
# account or stands as it is, from the lines "#   WORD VALUES" below (two
# blanks end the values), as its own header describes. In the words from text
# to small-disk, a relative path lies in the work directory.
#
#   text OWNER MODE PATH [TEXT]  a file holding TEXT, or nothing; TEXT takes
#                             printf's escapes (\n, \t, \\)
#   fill OWNER MODE PATH SIZE  a file of SIZE bytes, "abc...z" over and over
#   hardlink FILE PATH        a second name PATH for FILE
#   fifo OWNER PATH           a named pipe
#   reader FIFO OUT           a process reading FIFO throughout the run,
#                             keeping what it reads in OUT
#   built NAME                a copy of the build directory's NAME (for
#                             example plim-installer) in the work directory,
#                             under NAME's last component
#   gzip FILE                 FILE compressed to FILE.gz (FILE goes)
#   tar ARCHIVE DIR [OPT...]  a gzipped tar archive of DIR's contents, with
#                             tar's options OPT (--mode=go-rwx)
#   package PATH LICENSE ARCHIVE [M m p d]  a package as package mode builds
#                             it, from those members (damaged ones too),
#                             version M.m.p.d
#   small-disk PATH SIZE [OWNER]  a tmpfs of SIZE (64k) at PATH; also a
#                             mount point that neither rm nor rmdir takes
#   installed OWNER [PREFIX]  OWNER has installed the package (PREFIX made and
#                             given to OWNER; without it OWNER's default prefix)
#   payload                   the licence and archive members in the work directory
#   stand-in LIBC HOME        a stand-in browser at HOME/netscape that is not running
#   dir OWNER MODE PATH       a directory PATH of OWNER (or OWNER:GROUP) with MODE (octal)
#   group NAME [USER...]      a group NAME with the accounts USER as members
#   acl PATH ENTRY...         PATH's access ACL made of the ENTRYs as getfacl
#                             prints them, names allowed: user::rwx
#                             user:bob:rwx group::r-x mask::rwx other::r-x
#   link OWNER TARGET PATH    a symbolic link PATH to TARGET, of OWNER
#   remove PATH               PATH and all below it removed
#   running OWNER EXE [VAR=VALUE...]  EXE started as OWNER with the variables
#   argv0 OWNER EXE WORD...   EXE started as OWNER, its first argument the
#                             WORDs joined by blanks
#   no-home ACCOUNT           the account names no home directory
#   only-homes NAME...        every account but root and the NAMEs names no home
#                             directory (so root's walk over the homes is the case's own)
#   forget NAME               NAME's account is removed (its processes run on)
#   env VAR=VALUE             VAR set for every run of the case, setup too
#   ran OWNER ANSWERS [ARG...]  an earlier run of a copy of the package by
#                             OWNER, ANSWERS its input lines joined by ","
#   copy SRC PATH             a copy of the file SRC at PATH, its mode kept
#   truncate SIZE PATH        the file PATH cut or grown to SIZE bytes
#                             (-N: cut by N bytes)
#   flip OFFSET PATH          the byte at OFFSET of the file PATH inverted (a
#                             negative OFFSET counts from the end: -1 is the last)
#   mode MODE PATH            PATH's permission bits made MODE (4755: set-user-id)
#   replace PATH FROM TO      every FROM in the file PATH's bytes made TO
#                             (plain words of the same length)
#   kill EXE                  every process running EXE killed (and gone)
#   probe [TOOL]              the testing tool TOOL (by default browser_probe,
#                             the discovery probe) as "probe" in the work directory

# TEXT as an extended regular expression that matches it alone, for sed.
sed_regex() { sed 's/[][\/.^$*+?(){}|]/\\&/g' <<<"$1"; }
# TEXT as sed's replacement that stands for itself.
sed_text() { sed 's/[\\/&]/\\&/g' <<<"$1"; }

in_work() { if [[ $1 == /* ]]; then echo "$1"; else echo "$WORK/$1"; fi; }

setup_text() {
  local owner=$1 mode=$2 path
  path=$(in_work "$3")
  shift 3
  printf '%b' "$*" >"$path" && chown -- "$owner:" "$path" && chmod -- "$mode" "$path"
}
setup_fill() {
  local path
  path=$(in_work "$3")
  head -c "$4" < <(yes abcdefghijklmnopqrstuvwxyz | tr -d '\n') >"$path" &&
    chown -- "$1:" "$path" && chmod -- "$2" "$path"
}
setup_hardlink() { ln -- "$(in_work "$1")" "$(in_work "$2")"; }
setup_fifo() { local path; path=$(in_work "$2"); mkfifo -- "$path" && chown -- "$1:" "$path"; }
setup_reader() {
  cat -- "$(in_work "$1")" >"$(in_work "$2")" &
  readers+=($!)
}
setup_built() { cp -- "$PLIM_BUILD_DIR/$1" "$WORK/${1##*/}"; }
setup_gzip() { gzip -f -- "$(in_work "$1")"; }
setup_tar() { local archive=$1 dir=$2; shift 2; tar -C "$dir" "$@" -czf "$(in_work "$archive")" .; }
setup_package() {
  local path=$1 license=$2 archive=$3
  shift 3
  local version=${*:-3 2 5 3}
  assemble_package "$(in_work "$path")" "$INSTALLER" "$(in_work "$license")" "$(in_work "$archive")" "$version"
}
setup_small_disk() { small_disk "$(in_work "$1")" "$2" "${3:-}"; }

# installed OWNER [PREFIX]: a completed installation by OWNER into the
# stand-in browser at /opt/netscape.
setup_installed() {
  local owner=$1 prefix=${2:-} args=()
  [[ -e /opt/netscape/netscape ]] || install_stand_in /opt/netscape >/dev/null
  if [[ -n $prefix ]]; then
    mkdir -p -- "$prefix" && chown -- "$owner:" "$prefix"
    args=(--prefix="$prefix")
  fi
  setup_ran "$owner" ",,y,n,n" "${args[@]}" --netscape=/opt/netscape/netscape
}

setup_payload() { cp /tmp/payload/license.txt.gz /tmp/payload/Plim.tar.gz "$WORK/"; }
setup_stand_in() { install_stand_in "$2" "$1" >/dev/null; }
setup_group() {
  local member
  groupadd -- "$1" || return
  for member in "${@:2}"; do usermod -aG "$1" -- "$member" || return; done
}
# The names in the entries become ids: the helper writes the kernel's bytes.
setup_acl() {
  local path=$1 entry kind name rest entries=()
  shift
  for entry in "$@"; do
    IFS=: read -r kind name rest <<<"$entry"
    if [[ -n $name && $name != *[!0-9]* ]]; then :
    elif [[ -n $name && $kind == user ]]; then name=$(id -u -- "$name") || return
    elif [[ -n $name ]]; then name=$(getent group "$name" | cut -d: -f3) && [[ -n $name ]] || return
    fi
    entries+=("$kind:$name:$rest")
  done
  "$PLIM_BUILD_DIR/testing/set_access_acl" "$(in_work "$path")" "${entries[@]}"
}
# An OWNER of the form NAME:GROUP gives the directory that group.
setup_only_homes() {
  local kept
  kept=$(awk -F: -v OFS=: -v names="root $*" \
    'BEGIN { split(names, list, " "); for (i in list) keep[list[i]] = 1 } !($1 in keep) { $6 = "" } { print }' /etc/passwd) &&
    printf '%s\n' "$kept" >/etc/passwd
}
setup_dir() {
  local owner=$1
  [[ $owner == *:* ]] || owner+=:
  mkdir -p -- "$3" && chown -- "$owner" "$3" && chmod -- "$2" "$3"
}
setup_link() { ln -s -- "$2" "$3" && chown -h -- "$1:" "$3"; }
setup_remove() { rm -rf -- "$1"; }
setup_running() { start_browser "$1" "$2" "$2" "${@:3}" >/dev/null; }
setup_argv0() { start_browser "$1" "$2" "${*:3}" >/dev/null; }
setup_no_home() { sed -E -i "s/^($(sed_regex "$1")(:[^:]*){4}):[^:]*:/\1::/" /etc/passwd; }
setup_forget() { sed -E -i "/^$(sed_regex "$1"):/d" /etc/passwd; }
# A stand-in's own settings also go to its settings file: the installer
# starts a refresh with a clean environment.
setup_env() {
  case_env+=("$1")
  [[ $1 != PLIM_STAND_IN_* ]] || stand_in_settings "$1"
}
setup_copy() { cp --sparse=always -p -- "$1" "$2"; }
setup_truncate() { truncate -s "$1" -- "$2"; }
setup_flip() {
  local path offset byte
  path=$(in_work "$2") offset=$1
  ((offset >= 0)) || offset=$(($(stat -c %s -- "$path") + offset))
  byte=$(od -An -tu1 -j "$offset" -N1 -- "$path") && [[ -n $byte ]] || return 1
  # shellcheck disable=SC2059 # the format is the escaped byte itself
  printf "$(printf '\\%03o' $((255 - byte)))" | dd of="$path" bs=1 seek="$offset" conv=notrunc status=none
}
setup_mode() { chmod -- "$1" "$(in_work "$2")"; }
setup_replace() { sed -E -i "s/$(sed_regex "$2")/$(sed_text "$3")/g" -- "$1"; }
setup_probe() { cp "$PLIM_BUILD_DIR/testing/${1:-browser_probe}" "$WORK/probe"; }

# ran OWNER ANSWERS [ARG...]: a run of a copy of the package that leaves
# nothing else behind; the browsers it refreshed are not the case's to show.
setup_ran() {
  local owner=$1 answers=$2
  shift 2
  mkdir -m 1777 "$WORK/.case/setup"
  cp "$WORK/install" "$WORK/.case/setup/install"
  (cd "$WORK/.case/setup" && tr , '\n' <<<"$answers" | as "$owner" ./install "$@" >out 2>&1) ||
    fail "setup ran $owner: $(cat "$WORK/.case/setup/out")"
  rm -rf -- "$WORK/.case/setup"
  : >"$PLIM_STAND_IN_LOG"
}

# kill EXE: ends the processes running EXE and waits until they are gone.
setup_kill() {
  local -
  set +f  # the process list is a pattern
  local exe pids=() pid alive
  exe=$(readlink -f -- "$1")
  for pid in /proc/[0-9]*; do
    [[ $(readlink "$pid/exe" 2>/dev/null) == "$exe" ]] && pids+=("${pid#/proc/}")
  done
  ((${#pids[@]})) || fail "setup kill: nothing runs $1"
  kill "${pids[@]}"
  for _ in $(seq 100); do
    alive=0
    for pid in "${pids[@]}"; do [[ -e /proc/$pid ]] && alive=1; done
    ((alive)) || return 0
    sleep 0.05
  done
  fail "setup kill: $1 still runs"
}
