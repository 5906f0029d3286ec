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

namespace plim {

namespace {

// A relayed line longer than this is passed on in pieces, so that a child
// writing without line ends cannot make the installer hold it all.
constexpr std::size_t kLongestRelayedLine = 4096;
// Read in one go before the relay looks at the child and the clock again.
constexpr std::size_t kReadBetweenChecks = std::size_t{64} * 1024;
// Read after the child ended: a full pipe holds 64 KiB; more comes from a
// descendant still writing, which the run does not wait for.
constexpr std::size_t kReadAfterEnd = std::size_t{1024} * 1024;
// How long a killed child may take to die before the run goes on without it.
constexpr std::chrono::milliseconds kReapWait{500};

[[noreturn]] void fail_in_child(const ChildSpec& child, const char* call) {
  if (!child.exec_failure_reported) ::_exit(1);
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
  if (child.body) {
    environ = environment;
    std::exit(child.body());  // with our buffers written out, as any run of ours ends
  }
  exec_program(child, environment);
}

pid_t fork_flushed(const ChildSpec& child) {
  std::fflush(stdout);
  std::fflush(stderr);
  flush_run_log();
  pid_t pid = ::fork();
  if (pid >= 0) return pid;
  if (child.on_fork_failure == ForkFailure::kEndRun) exit_on_system_error("fork");
  report_system_error("fork");
  return -1;
}

// Copies what the stranger writes to standard output a line at a time, each
// line made printable, up to the child's output_limit bytes; the rest is
// counted and dropped.
class Relay {
 public:
  Relay(std::size_t limit, bool keep_tabs) : limit_(limit), keep_tabs_(keep_tabs) {}
  void take(std::string_view bytes) {
    std::size_t passed = std::min(bytes.size(), limit_ - passed_);
    passed_ += passed;
    dropped_ += bytes.size() - passed;
    pending_ += bytes.substr(0, passed);
    std::size_t end;
    while ((end = pending_.find('\n')) != std::string::npos || pending_.size() >= kLongestRelayedLine) {
      bool whole_line = end != std::string::npos;
      if (!whole_line) end = kLongestRelayedLine;
      std::fputs(shown(std::string_view(pending_).substr(0, end)).c_str(), stdout);
      if (whole_line) std::fputc('\n', stdout);
      mid_line_ = !whole_line;
      pending_.erase(0, whole_line ? end + 1 : end);
    }
    if (passed_ == limit_) finish();
  }
  // Ends what was passed on with a line end, so that what follows starts a
  // line of its own.
  void finish() {
    if (!pending_.empty()) std::fputs(shown(pending_).c_str(), stdout);
    if (mid_line_ || !pending_.empty()) std::fputc('\n', stdout);
    pending_.clear();
    mid_line_ = false;
  }
  unsigned long long dropped() const { return dropped_; }

 private:
  std::string shown(std::string_view text) const {
    if (!keep_tabs_) return printable(text);
    std::string result;
    for (std::size_t tab; (tab = text.find('\t')) != std::string_view::npos; text.remove_prefix(tab + 1))
      result += printable(text.substr(0, tab)) + '\t';
    return result + printable(text);
  }

  std::size_t limit_;
  bool keep_tabs_;
  std::string pending_;
  bool mid_line_ = false;  // the last piece passed on was part of a longer line
  std::size_t passed_ = 0;
  unsigned long long dropped_ = 0;
};

using Clock = std::chrono::steady_clock;

// How a read of the pipe ended.
enum class Pipe {
  kEmptied,  // nothing more to read for now
  kClosed,   // its end, or an error
  kStopped,  // the deadline or the amount asked for was reached first
};

// Reads what the pipe holds, at most `most` bytes and never past `deadline`:
// a writer faster than the relay must not keep it from its clock.
Pipe read_available(int fd, Relay& relay, Clock::time_point deadline, std::size_t most) {
  char block[4096];
  for (std::size_t read = 0; read < most && Clock::now() < deadline; read += sizeof block) {
    ssize_t got = retry_on_eintr([&] { return ::read(fd, block, sizeof block); });
    if (got <= 0) return got < 0 && errno == EAGAIN ? Pipe::kEmptied : Pipe::kClosed;
    relay.take(std::string_view(block, static_cast<std::size_t>(got)));
  }
  return Pipe::kStopped;
}

// Reaps the killed child, waiting at most kReapWait: a process stuck in the
// kernel dies only when it leaves it, and the run does not wait for that.
int reap_killed(pid_t pid) {
  const Clock::time_point give_up = Clock::now() + kReapWait;
  int status = -1;
  for (;;) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return done == pid ? status : -1;
    if (Clock::now() >= give_up) return -1;
    ::usleep(10'000);
  }
}

int kill_late_child(const ChildSpec& child, pid_t pid) {
  ::kill(-pid, SIGKILL);  // its own process group, from setsid
  ::kill(pid, SIGKILL);
  int status = reap_killed(pid);
  auto seconds = std::chrono::ceil<std::chrono::seconds>(child.time_limit).count();
  log_printf(stderr, "Error:\t%s did not finish in %lld seconds\n", printable(child.argv[0]).c_str(),
             static_cast<long long>(seconds));
  return status;
}

// Relays the child's output until it ends or its time is up. A descendant
// that keeps the pipe open after the child ended does not hold the run: what
// the pipe holds then is read, up to a bound and within the child's time.
ChildEnd relay_until_done(const ChildSpec& child, pid_t pid, int output_fd) {
  const Clock::time_point deadline = Clock::now() + child.time_limit;
  ::fcntl(output_fd, F_SETFL, O_NONBLOCK);
  Relay relay(child.output_limit, bool(child.body));
  bool output_open = true;
  ChildEnd end;
  for (;;) {
    pid_t done = ::waitpid(pid, &end.status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      end.status = kill_late_child(child, pid);
      end.timed_out = true;
      break;
    }
    struct pollfd output = {output_fd, POLLIN, 0};
    ::poll(&output, output_open ? 1 : 0, static_cast<int>(std::min<long long>(left, output_open ? 100 : 10)));
    if (output_open && output.revents)
      output_open = read_available(output_fd, relay, deadline, kReadBetweenChecks) != Pipe::kClosed;
  }
  if (output_open) read_available(output_fd, relay, deadline, kReadAfterEnd);
  relay.finish();
  std::fflush(stdout);
  if (relay.dropped() > 0)
    log_printf(stderr, "Error:\tDropped %llu bytes of output from %s after its first %zu\n", relay.dropped(),
               printable(child.argv[0]).c_str(), child.output_limit);
  return end;
}

ChildEnd run_stranger(const ChildSpec& child) {
  std::vector<std::string> variables = stranger_environment(static_cast<uid_t>(child.run_as_uid), environ);
  std::vector<char*> environment;
  environment.reserve(variables.size() + 1);
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    report_system_error("pipe");
    return {};
  }
  UniqueFd output(ends[0]), child_output(ends[1]);
  pid_t pid = fork_flushed(child);
  if (pid < 0) return {};
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

ChildEnd run_child_to_end(const ChildSpec& child) {
  if (is_stranger(child)) return run_stranger(child);
  pid_t pid = start_child(child);
  return {pid < 0 ? -1 : wait_for_child(pid), false};
}

int run_child(const ChildSpec& child) { return run_child_to_end(child).status; }

}  // namespace plim
