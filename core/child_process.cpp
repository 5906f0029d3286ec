#include "core/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/console.h"
#include "core/system_error.h"

namespace {

[[noreturn]] void exec_in_child(const ChildSpec& child) {
  for (int fd : child.close_in_child) ::close(fd);
  if (child.stdin_fd >= 0 && child.stdin_fd != 0) ::dup2(child.stdin_fd, 0);
  if (child.stdout_fd >= 0 && child.stdout_fd != 1) ::dup2(child.stdout_fd, 1);
  if (child.stdin_fd > 2) ::close(child.stdin_fd);
  if (child.stdout_fd > 2 && child.stdout_fd != child.stdin_fd) ::close(child.stdout_fd);

  std::vector<char*> args;
  for (const std::string& arg : child.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());

  report_system_error(child.exec_call);
  if (child.exec_failure_format && child.exec_failure_to_run_log)
    log_printf(stderr, child.exec_failure_format, args[0]);
  else if (child.exec_failure_format)
    std::fprintf(stderr, child.exec_failure_format, args[0]);
  std::fflush(nullptr);
  ::_exit(1);
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
