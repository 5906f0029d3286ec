#include "installer/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "installer/system_error.h"

namespace {

[[noreturn]] void exec_in_child(const ChildSpec& spec) {
  for (int fd : spec.close_in_child) ::close(fd);
  if (spec.stdin_fd >= 0 && spec.stdin_fd != 0) ::dup2(spec.stdin_fd, 0);
  if (spec.stdout_fd >= 0 && spec.stdout_fd != 1) ::dup2(spec.stdout_fd, 1);
  if (spec.stdin_fd > 2) ::close(spec.stdin_fd);
  if (spec.stdout_fd > 2 && spec.stdout_fd != spec.stdin_fd) ::close(spec.stdout_fd);

  std::vector<char*> args;
  for (const std::string& arg : spec.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());

  report_system_error(spec.exec_call);
  if (spec.exec_failure_format) std::fprintf(stderr, spec.exec_failure_format, args[0]);
  std::fflush(stderr);
  ::_exit(1);
}

}  // namespace

pid_t start_child(const ChildSpec& spec) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = ::fork();
  if (pid < 0) exit_on_system_error("fork");
  if (pid == 0) exec_in_child(spec);
  return pid;
}

int wait_for_child(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int run_child(const ChildSpec& spec) { return wait_for_child(start_child(spec)); }
