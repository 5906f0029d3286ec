#include "core/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/file_identity.h"
#include "core/printable.h"
#include "core/retry.h"
#include "core/run_log.h"
#include "core/system_error.h"
#include "core/unique_fd.h"

namespace {

// A relayed line longer than this is passed on in pieces, so that a child
// writing without line ends cannot make the installer hold it all.
constexpr std::size_t kLongestRelayedLine = 4096;

[[noreturn]] void fail_in_child(const ChildSpec& child, const char* call) {
  report_system_error(call);
  if (child.exec_failure_text && child.exec_failure_to_run_log)
    log_printf(stderr, "%s %s\n", child.exec_failure_text, child.argv[0].c_str());
  else if (child.exec_failure_text)
    std::fprintf(stderr, "%s %s\n", child.exec_failure_text, child.argv[0].c_str());
  std::fflush(nullptr);
  ::_exit(1);
}

void discard_stderr() {
  int fd = ::open("/dev/null", O_WRONLY | O_APPEND | O_CREAT, 0666);
  if (fd < 0) return;
  if (fd != 2) {
    ::dup2(fd, 2);
    ::close(fd);
  }
}

// Becomes `uid` for good, in the order the trusted tools use: groups first,
// while root may still set them, then the group ids, then the user ids.
void become_user(const ChildSpec& child, uid_t uid) {
  if (uid == ::getuid() && uid == ::geteuid()) return;
  const struct passwd* entry = ::getpwuid(uid);
  gid_t gid = entry ? entry->pw_gid : kOverflowGid;
  if (entry ? ::initgroups(entry->pw_name, gid) != 0 : ::setgroups(0, nullptr) != 0)
    fail_in_child(child, entry ? "initgroups" : "setgroups");
  if (::setresgid(gid, gid, gid) != 0) fail_in_child(child, "setresgid");
  if (::setresuid(uid, uid, uid) != 0) fail_in_child(child, "setresuid");
  if (uid != 0 && ::setuid(0) == 0) {
    errno = EPERM;
    fail_in_child(child, "setuid");
  }
}

bool is_stranger(const ChildSpec& child) {
  return child.run_as_uid >= 0 && (::geteuid() == 0 || static_cast<uid_t>(child.run_as_uid) != ::getuid());
}

// Every descriptor above 2 goes at the exec: marked close-on-exec rather than
// closed, so that a program executed through its descriptor is still there.
void close_inherited_descriptors() {
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
  long highest = ::sysconf(_SC_OPEN_MAX);
  if (highest < 0 || highest > 65536) highest = 65536;
  for (int fd = 3; fd < highest; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// `environment` null keeps the installer's own.
[[noreturn]] void exec_program(const ChildSpec& child, char** environment) {
  std::vector<char*> args;
  for (const std::string& arg : child.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if (environment) environ = environment;  // the PATH search too uses the child's PATH
  if (child.exec_fd >= 0) {
    ::execveat(child.exec_fd, "", args.data(), environ, AT_EMPTY_PATH);
    fail_in_child(child, "execveat");
  }
  ::execvp(args[0], args.data());
  fail_in_child(child, child.exec_call);
}

[[noreturn]] void exec_in_child(const ChildSpec& child) {
  if (child.stderr_to_null) discard_stderr();
  if (child.run_as_uid >= 0) become_user(child, static_cast<uid_t>(child.run_as_uid));
  for (int fd : child.close_in_child) ::close(fd);
  if (child.stdin_fd >= 0 && child.stdin_fd != 0) ::dup2(child.stdin_fd, 0);
  if (child.stdout_fd >= 0 && child.stdout_fd != 1) ::dup2(child.stdout_fd, 1);
  if (child.stdin_fd > 2) ::close(child.stdin_fd);
  if (child.stdout_fd > 2 && child.stdout_fd != child.stdin_fd) ::close(child.stdout_fd);
  exec_program(child, nullptr);
}

// A session of its own leaves root's terminal behind: the stranger cannot
// open /dev/tty, push input into it (TIOCSTI) or receive its signals.
[[noreturn]] void exec_stranger(const ChildSpec& child, int output_fd, char** environment) {
  ::setsid();
  int null = ::open("/dev/null", O_RDWR);
  if (null >= 0)
    ::dup2(null, 0);
  else
    ::close(0);
  ::dup2(output_fd, 1);
  if (child.stderr_to_null && null >= 0)
    ::dup2(null, 2);
  else
    ::dup2(output_fd, 2);
  become_user(child, static_cast<uid_t>(child.run_as_uid));
  close_inherited_descriptors();
  exec_program(child, environment);
}

pid_t fork_flushed(const ChildSpec& child) {
  std::fflush(stdout);
  std::fflush(stderr);
  flush_run_log();
  pid_t pid = ::fork();
  if (pid >= 0) return pid;
  if (child.on_fork_failure == ForkFailure::end_run) exit_on_system_error("fork");
  report_system_error("fork");
  return -1;
}

// Copies what the stranger writes to standard output a line at a time, each
// line made printable.
class Relay {
 public:
  void take(std::string_view bytes) {
    pending_ += bytes;
    std::size_t end;
    while ((end = pending_.find('\n')) != std::string::npos || pending_.size() >= kLongestRelayedLine) {
      bool whole_line = end != std::string::npos;
      if (!whole_line) end = kLongestRelayedLine;
      std::fputs(printable(std::string_view(pending_).substr(0, end)).c_str(), stdout);
      if (whole_line) std::fputc('\n', stdout);
      pending_.erase(0, whole_line ? end + 1 : end);
    }
  }
  void finish() {
    if (pending_.empty()) return;
    std::fputs((printable(pending_) + "\n").c_str(), stdout);
    pending_.clear();
  }

 private:
  std::string pending_;
};

// Reads whatever the pipe holds; false once it reached its end.
bool read_available(int fd, Relay& relay) {
  char block[4096];
  for (;;) {
    ssize_t got = retry_on_eintr([&] { return ::read(fd, block, sizeof block); });
    if (got <= 0) return got < 0 && errno == EAGAIN;
    relay.take(std::string_view(block, static_cast<std::size_t>(got)));
  }
}

int kill_late_child(const ChildSpec& child, pid_t pid) {
  ::kill(-pid, SIGKILL);  // its own process group, from setsid
  ::kill(pid, SIGKILL);
  int status = wait_for_child(pid);
  log_printf(stderr, "Error:\t%s did not finish in %d seconds\n", printable(child.argv[0]).c_str(),
             child.time_limit_seconds);
  return status;
}

// Relays the child's output until it ends or its time is up. A descendant
// that keeps the pipe open after the child ended does not hold the run.
int relay_until_done(const ChildSpec& child, pid_t pid, int output_fd) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(child.time_limit_seconds);
  ::fcntl(output_fd, F_SETFL, O_NONBLOCK);
  Relay relay;
  bool output_open = true;
  int status = -1;
  for (;;) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      status = kill_late_child(child, pid);
      break;
    }
    struct pollfd output = {output_fd, POLLIN, 0};
    ::poll(&output, output_open ? 1 : 0, static_cast<int>(std::min<long long>(left, output_open ? 100 : 10)));
    if (output_open && output.revents) output_open = read_available(output_fd, relay);
  }
  if (output_open) read_available(output_fd, relay);
  relay.finish();
  std::fflush(stdout);
  return status;
}

int run_stranger(const ChildSpec& child) {
  std::vector<std::string> variables = stranger_environment(static_cast<uid_t>(child.run_as_uid), environ);
  std::vector<char*> environment;
  environment.reserve(variables.size() + 1);
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    report_system_error("pipe");
    return -1;
  }
  UniqueFd output(ends[0]), child_output(ends[1]);
  pid_t pid = fork_flushed(child);
  if (pid < 0) return -1;
  if (pid == 0) exec_stranger(child, child_output.get(), environment.data());
  child_output.reset();
  return relay_until_done(child, pid, output.get());
}

}  // namespace

std::vector<std::string> stranger_environment(uid_t uid, char* const* current) {
  std::vector<std::string> variables;
  if (const struct passwd* entry = ::getpwuid(uid)) {
    variables.push_back(std::string("HOME=") + entry->pw_dir);
    variables.push_back(std::string("USER=") + entry->pw_name);
    variables.push_back(std::string("LOGNAME=") + entry->pw_name);
  } else {
    variables.push_back("HOME=/");  // root's home is none of this user's business
  }
  variables.push_back("PATH=/usr/local/bin:/usr/bin:/bin");
  for (; current && *current; ++current) {
    std::string_view variable = *current;
    if (variable.starts_with("DISPLAY=") || variable.starts_with("LANG=") || variable.starts_with("LC_"))
      variables.emplace_back(variable);
  }
  return variables;
}

pid_t start_child(const ChildSpec& child) {
  pid_t pid = fork_flushed(child);
  if (pid == 0) exec_in_child(child);
  return pid;
}

int wait_for_child(pid_t pid) {
  int status = 0;
  return retry_on_eintr([&] { return ::waitpid(pid, &status, 0); }) < 0 ? -1 : status;
}

int run_child(const ChildSpec& child) {
  if (is_stranger(child)) return run_stranger(child);
  pid_t pid = start_child(child);
  return pid < 0 ? -1 : wait_for_child(pid);
}
