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
// empty when there are none). The log is the file named by PLIM_STAND_IN_LOG,
// or else "remote.log" in the directory of the running executable.
//
// With PLIM_STAND_IN_SPY set, a second line tells what the program that
// started it let it have:
//   spy<TAB>session=own|parent's<TAB>tty=none|open<TAB>terminal-fds=0,1,2
//   <TAB>tiocsti=refused|accepted<TAB>fds=3,4<TAB>environment=A=1|B=2
// (its session compared with its parent's; whether /dev/tty opens; which of
// descriptors 0-2 are terminals; whether pushing input into a terminal among
// them works; the descriptors above 2 it holds; its whole environment, each
// variable made printable and "|" between them). With PLIM_STAND_IN_HANG set,
// it never returns from --remote, for the installer's time limit. With
// PLIM_STAND_IN_FLOOD=N it then writes N bytes "x" without a line end to its
// standard output ("endless": until it is killed), for the bound on the
// output the installer passes on.
//
// Each PLIM_STAND_IN_* setting is taken from the environment, or else from a
// line NAME=VALUE of /etc/plim-stand-in.conf: the installer starts the
// stand-in with an environment of its own, so the tests' settings reach it
// through that file.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#ifndef STAND_IN_LIBC_CHAR
#define STAND_IN_LIBC_CHAR '6'
#endif

// The texts browser identification looks for. `used` keeps them in the file
// although nothing reads them; being this object's read-only data they come
// before anything the C library brings along.
__attribute__((used)) const char kBrowserMarkers[] = {
    'l', 'i', 'b', 'c', '.', 's', 'o', '.', STAND_IN_LIBC_CHAR, '\0', 'M', 'O', 'Z', 'I', 'L', 'L',
    'A', '_', 'H', 'O', 'M', 'E', '=', '\0'};

namespace {

constexpr char kConfigFile[] = "/etc/plim-stand-in.conf";

// The setting NAME from the environment, else from the configuration file;
// empty when neither has it.
std::string setting(const char* name) {
  if (const char* value = std::getenv(name); value && *value) return value;
  std::ifstream config(kConfigFile);
  std::string line, prefix = std::string(name) + "=";
  std::string found;
  while (std::getline(config, line))
    if (line.rfind(prefix, 0) == 0) found = line.substr(prefix.size());
  return found;
}

std::string log_path() {
  if (std::string path = setting("PLIM_STAND_IN_LOG"); !path.empty()) return path;
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
  if (setting("PLIM_STAND_IN_IDS").empty()) return {};
  gid_t groups[256];
  int count = ::getgroups(256, groups);
  std::string text = "\tgid=" + std::to_string(::getgid()) + "\tgroups=";
  for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(groups[i]);
  return text;
}

// Control characters of the environment shown as \xHH, so the line stays one line.
std::string escaped(const char* text) {
  std::string out;
  for (; *text; ++text) {
    unsigned char c = static_cast<unsigned char>(*text);
    if (c >= 0x20 && c != 0x7f && c != '|') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string descriptors_above_2() {
  std::string list;
  DIR* fds = ::opendir("/proc/self/fd");
  if (!fds) return "unknown";
  int own = ::dirfd(fds);
  while (const struct dirent* entry = ::readdir(fds)) {
    int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd <= 2 || fd == own) continue;
    list += (list.empty() ? "" : ",") + std::to_string(fd);
  }
  ::closedir(fds);
  return list;
}

// "\nspy\t..." when PLIM_STAND_IN_SPY is set, else nothing. The pushed byte
// is a NUL, which a shell reading that terminal passes over.
std::string spy_report() {
  if (setting("PLIM_STAND_IN_SPY").empty()) return {};
  std::string report = "spy\tsession=";
  report += ::getsid(0) == ::getsid(::getppid()) ? "parent's" : "own";
  int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  report += tty >= 0 ? "\ttty=open" : "\ttty=none";
  if (tty >= 0) ::close(tty);
  std::string terminals;
  bool pushed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (!::isatty(fd)) continue;
    terminals += (terminals.empty() ? "" : ",") + std::to_string(fd);
    char byte = '\0';
    if (!pushed && ::ioctl(fd, TIOCSTI, &byte) == 0) pushed = true;
  }
  report += "\tterminal-fds=" + terminals + "\ttiocsti=" + (pushed ? "accepted" : "refused");
  report += "\tfds=" + descriptors_above_2() + "\tenvironment=";
  for (char** variable = environ; *variable; ++variable)
    report += (variable == environ ? "" : "|") + escaped(*variable);
  return report + "\n";
}

// Writes `amount` bytes "x" (a number, or "endless") to standard output.
void flood(const std::string& amount) {
  if (amount.empty()) return;
  bool endless = amount == "endless";
  unsigned long long left = endless ? 0 : std::strtoull(amount.c_str(), nullptr, 10);
  char block[8192];
  std::memset(block, 'x', sizeof block);
  while (endless || left > 0) {
    std::size_t size = endless || left > sizeof block ? sizeof block : static_cast<std::size_t>(left);
    ssize_t written = ::write(1, block, size);
    if (written <= 0) return;
    if (!endless) left -= static_cast<unsigned long long>(written);
  }
}

int record_remote_command(const char* command) {
  std::string path = log_path();
  char fixed[8192];
  int length =
      std::snprintf(fixed, sizeof fixed, "%s\truid=%d\teuid=%d\tHOME=%s\tUSER=%s\tLOGNAME=%s%s\n", command,
                    static_cast<int>(::getuid()), static_cast<int>(::geteuid()), env_or_unset("HOME"),
                    env_or_unset("USER"), env_or_unset("LOGNAME"), group_ids().c_str());
  if (length < 0 || length >= static_cast<int>(sizeof fixed)) length = sizeof fixed - 1;
  std::string whole = std::string(fixed, static_cast<std::size_t>(length)) + spy_report();
  const char* line = whole.c_str();
  length = static_cast<int>(whole.size());
  // One write of the whole line with O_APPEND, so that lines of concurrent
  // remote commands never interleave.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 || ::write(fd, line, static_cast<std::size_t>(length)) != length) {
    std::perror(path.c_str());
    return 2;
  }
  ::close(fd);
  flood(setting("PLIM_STAND_IN_FLOOD"));
  if (!setting("PLIM_STAND_IN_HANG").empty())
    for (;;) ::pause();  // a remote command that never comes back
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--remote") == 0)
    return record_remote_command(argc >= 3 ? argv[2] : "");
  for (;;) ::pause();  // a browser window, until someone kills it
}
