#include "core/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "testing/test_support/capture_output.h"
#include "testing/test_support/unit_test.h"

namespace {

constexpr uid_t kNoSuchUser = 2147480001;

}  // namespace

TEST(StrangerEnvironment, KeepsOnlyWhatARemoteCommandNeeds) {
  const char* current[] = {"ROOT_SECRET=x", "DISPLAY=:0", "PATH=/root/bin", "HOME=/root", "LANG=de_DE.UTF-8",
                           "LC_TIME=C",     "LCX=1",      "USER=root",      nullptr};
  char* const* environment = const_cast<char* const*>(current);
  EXPECT_EQ(stranger_environment(kNoSuchUser, environment),
            (std::vector<std::string>{"HOME=/", "PATH=/usr/local/bin:/usr/bin:/bin", "DISPLAY=:0",
                                      "LANG=de_DE.UTF-8", "LC_TIME=C"}));
  std::vector<std::string> roots = stranger_environment(0, environment);
  ASSERT_EQ(roots.size(), 7u);
  EXPECT_EQ(roots[1], "USER=root");
  EXPECT_EQ(roots[2], "LOGNAME=root");
}

// Started by root, even a child run as root is a stranger; a test run by an
// ordinary user cannot start one.
TEST(StrangerChild, StartsCleanRelaysEscapedAndIsKilledInTime) {
  if (::geteuid() != 0) GTEST_SKIP() << "a stranger child needs root";
  Captured run = capture_in_child([] {
    ::setenv("ROOT_SECRET", "x", 1);
    int kept = ::open("/dev/null", O_RDONLY);  // a descriptor of root's the child must not get
    ChildSpec child;
    child.argv = {"sh", "-c",
                  "printf 'a\\033b\\n'; echo \"${ROOT_SECRET-none}\"; ls /proc/self/fd; "
                  "[ \"$(ps -o sid= $$)\" -eq $$ ] && echo own-session; exec sleep 5"};
    child.run_as_uid = 0;
    child.time_limit_seconds = 1;
    int status = run_child(child);
    std::printf("killed=%d\n", WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ::close(kept);
  });
  // ls holds descriptor 3 itself, for reading the directory.
  EXPECT_EQ(run.out, "a\\eb\nnone\n0\n1\n2\n3\nown-session\nkilled=1\n");
  EXPECT_EQ(run.err, "Error:\tsh did not finish in 1 seconds\n");
}
