// Output capture for unit tests.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testing/test_support/capture_output.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

Captured capture_in_child(const std::function<void()>& body, const std::string& input) {
  char dir_template[] = "/tmp/plim-capture-XXXXXX";
  std::string dir = ::mkdtemp(dir_template);
  std::string in = dir + "/in", out = dir + "/out", err = dir + "/err";
  std::ofstream(in, std::ios::binary) << input;

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
  Captured result{slurp(out), slurp(err), WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
  std::system(("rm -rf " + dir).c_str());
  return result;
}
