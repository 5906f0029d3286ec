#include "core/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "core/console.h"
#include "core/system_error.h"

namespace {

constexpr gid_t kOverflowGid = 65534;

[[noreturn]] void fail_in_child(const ChildSpec& child, const char* call) {
  report_system_error(call);
  if (child.exec_failure_format && child.exec_failure_to_run_log)
    log_printf(stderr, child.exec_failure_format, child.argv[0].c_str());
  else if (child.exec_failure_format)
    std::fprintf(stderr, child.exec_failure_format, child.argv[0].c_str());
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
  const struct passwd* entry = ::getpwuid(uid);
  if (entry && uid != ::getuid()) {
    ::setenv("HOME", entry->pw_dir, 1);
    ::setenv("USER", entry->pw_name, 1);
    ::setenv("LOGNAME", entry->pw_name, 1);
  }
  if (uid == ::getuid() && uid == ::geteuid()) return;
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

[[noreturn]] void exec_in_child(const ChildSpec& child) {
  if (child.stderr_to_null) discard_stderr();
  if (child.run_as_uid >= 0) become_user(child, static_cast<uid_t>(child.run_as_uid));
  for (int fd : child.close_in_child) ::close(fd);
  if (child.stdin_fd >= 0 && child.stdin_fd != 0) ::dup2(child.stdin_fd, 0);
  if (child.stdout_fd >= 0 && child.stdout_fd != 1) ::dup2(child.stdout_fd, 1);
  if (child.stdin_fd > 2) ::close(child.stdin_fd);
  if (child.stdout_fd > 2 && child.stdout_fd != child.stdin_fd) ::close(child.stdout_fd);

  std::vector<char*> args;
  for (const std::string& arg : child.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  fail_in_child(child, child.exec_call);
}

}  // namespace

pid_t start_child(const ChildSpec& child) {
  std::fflush(stdout);
  std::fflush(stderr);
  flush_run_log();
  pid_t pid = ::fork();
  if (pid < 0) exit_on_system_error("fork");
  if (pid == 0) exec_in_child(child);
  return pid;
}

int wait_for_child(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int run_child(const ChildSpec& child) { return wait_for_child(start_child(child)); }
