// A stand-in for a Netscape Communicator executable, for tests of browser
// discovery, plug-in links and the browser refresh.
//
// What makes it pass for a browser is in the file, not in what it does: it
// is an ELF executable padded to more than 6,506,368 bytes (finish_stand_in.sh),
// it contains "MOZILLA_HOME", and its first "libc.so." is followed by the
// libc character it was built for (STAND_IN_LIBC_CHAR, '6' or '5'). It is
// linked statically so that no "libc.so.6" of a dynamic string table comes
// before that marker.
//
// Started normally it stays running until it is killed. Started as
//   stand_in_browser --remote COMMAND
// it appends one line to its log and exits 0:
//   COMMAND<TAB>ruid=N<TAB>euid=N<TAB>HOME=...<TAB>USER=...<TAB>LOGNAME=...
// (an unset variable is shown as "<unset>"); with PLIM_STAND_IN_IDS set, the
// line goes on with <TAB>gid=N<TAB>groups=A,B,... (the supplementary groups,
// empty when there are none). The log is the file named by
// the environment variable PLIM_STAND_IN_LOG, or else "remote.log" in the
// directory of the running executable.

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef STAND_IN_LIBC_CHAR
#define STAND_IN_LIBC_CHAR '6'
#endif

// The texts browser identification looks for. `used` keeps them in the file
// although nothing reads them; being this object's read-only data they come
// before anything the C library brings along.
__attribute__((used)) const char kBrowserMarkers[] = {
    'l', 'i', 'b', 'c', '.', 's', 'o', '.', STAND_IN_LIBC_CHAR, '\0',
    'M', 'O', 'Z', 'I', 'L', 'L', 'A', '_', 'H', 'O', 'M', 'E', '=', '\0'};

namespace {

std::string log_path() {
  if (const char* path = std::getenv("PLIM_STAND_IN_LOG"); path && *path) return path;
  char self[4096];
  ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "remote.log";
  std::string exe(self, static_cast<std::size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1) + "remote.log";
}

const char* env_or_unset(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "<unset>";
}

// "\tgid=N\tgroups=A,B" when PLIM_STAND_IN_IDS is set, else nothing.
std::string group_ids() {
  if (!std::getenv("PLIM_STAND_IN_IDS")) return {};
  gid_t groups[256];
  int count = ::getgroups(256, groups);
  std::string text = "\tgid=" + std::to_string(::getgid()) + "\tgroups=";
  for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(groups[i]);
  return text;
}

int record_remote_command(const char* command) {
  std::string path = log_path();
  char line[8192];
  int length = std::snprintf(line, sizeof line, "%s\truid=%d\teuid=%d\tHOME=%s\tUSER=%s\tLOGNAME=%s%s\n",
                             command, static_cast<int>(::getuid()), static_cast<int>(::geteuid()),
                             env_or_unset("HOME"), env_or_unset("USER"), env_or_unset("LOGNAME"),
                             group_ids().c_str());
  if (length < 0 || length >= static_cast<int>(sizeof line)) length = sizeof line - 1;
  // One write of the whole line with O_APPEND, so that lines of concurrent
  // remote commands never interleave.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 || ::write(fd, line, static_cast<std::size_t>(length)) != length) {
    std::perror(path.c_str());
    return 2;
  }
  ::close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--remote") == 0)
    return record_remote_command(argc >= 3 ? argv[2] : "");
  for (;;) ::pause();  // a browser window, until someone kills it
}
