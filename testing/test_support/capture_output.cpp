// Output capture for unit tests.
#include "testing/test_support/capture_output.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "testing/test_support/scratch_dir.h"

Captured capture_in_child(const std::function<void()>& body, const std::string& input) {
  ScratchDir dir;
  std::string in = dir / "in", out = dir / "out", err = dir / "err";
  write_file(in, input);

  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen(in.c_str(), "r", stdin);
    std::freopen(out.c_str(), "w", stdout);
    std::freopen(err.c_str(), "w", stderr);
    body();
    std::fflush(nullptr);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {read_file(out), read_file(err), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}
