#include "core/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>

#include "testing/test_support/capture_output.h"
#include "testing/test_support/unit_test.h"

namespace plim {

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
    child.time_limit = std::chrono::seconds(1);
    int status = run_child(child);
    std::printf("killed=%d\n", WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ::close(kept);
  });
  // ls holds descriptor 3 itself, for reading the directory.
  EXPECT_EQ(run.out, "a\\eb\nnone\n0\n1\n2\n3\nown-session\nkilled=1\n");
  EXPECT_EQ(run.err, "Error:\tsh did not finish in 1 seconds\n");
}

// A child that writes without end, or hands the pipe to a descendant that
// does, costs the run at most its time and 64 KiB of output; the rest is
// counted and dropped (a flood that ends: tests/cases/root-refresh-flood).
// The alarm ends a relay that never looks at the clock.
TEST(StrangerChild, PassesOnBoundedOutputWithinItsTime) {
  if (::geteuid() != 0) GTEST_SKIP() << "a stranger child needs root";
  struct Row {
    const char* what;
    const char* command;
    char fill;        // what the 64 KiB relayed are made of
    const char* err;  // the count of dropped bytes shown as N when it varies
  };
  const Row rows[] = {
      {"a flood without end", "tr '\\0' y </dev/zero", 'y',
       "Error:\tsh did not finish in 1 seconds\nError:\tDropped N bytes of output from sh after its first "
       "65536\n"},
      {"a descendant flooding after the child ended", "tr '\\0' y </dev/zero & sleep 0.2", 'y',
       "Error:\tDropped N bytes of output from sh after its first 65536\n"},
  };
  for (const Row& row : rows) {
    Captured run = capture_in_child([&] {
      ::alarm(5);
      ChildSpec child;
      child.argv = {"sh", "-c", row.command};
      child.run_as_uid = 0;
      child.time_limit = std::chrono::seconds(1);
      auto start = std::chrono::steady_clock::now();
      run_child(child);
      auto took = std::chrono::steady_clock::now() - start;
      std::fprintf(stderr, "%s", took < std::chrono::milliseconds(1500) ? "" : "late\n");
    });
    // One line without end, passed on in pieces and ended by the relay.
    std::string expected_out = std::string(65536, row.fill) + "\n";
    EXPECT_EQ(run.status, 0) << row.what;
    EXPECT_TRUE(run.out == expected_out) << row.what << ": " << run.out.size() << " bytes relayed";
    EXPECT_EQ(std::regex_replace(run.err, std::regex("Dropped [0-9]{7,} "), "Dropped N "), row.err)
        << row.what;
  }
}

// A function of ours run as a stranger: it has become the user for good, in
// a session of its own, and what it prints comes back escaped, save the tabs
// of the installer's own messages; its result is the exit status.
TEST(StrangerChild, RunsABodyOfOursAsTheUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "a stranger child needs root";
  Captured run = capture_in_child([] {
    ChildSpec child;
    child.argv = {"body"};
    child.run_as_uid = 65534;
    child.body = [] {
      std::printf("Create:\t%d %d %d\x1b\n", static_cast<int>(::geteuid()), static_cast<int>(::getuid()),
                  ::getsid(0) == ::getpid());
      return ::setuid(0) == 0 ? 0 : 3;
    };
    int status = run_child(child);
    std::printf("status=%d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  });
  EXPECT_EQ(run.out, "Create:\t65534 65534 1\\e\nstatus=3\n");
}

// A program that cannot be started ends its child with status 1; the system
// error names execvp unless the caller gives the name its message has always
// shown, and a silent child (whose status alone tells) says nothing at all.
TEST(ChildStart, FailedExecEndsTheChildWithStatusOne) {
  struct Row {
    const char* call;
    const char* text;
    bool reported;
    std::string err;
  } rows[] = {
      {"execvp", "Failed to execute", true,
       "execvp: No such file or directory\nFailed to execute plim-no-such-program\n"},
      {"execve", nullptr, true, "execve: No such file or directory\n"},
      {"execvp", "Failed to execute", false, ""},
  };
  for (const Row& row : rows) {
    Captured got = capture_in_child([&] {
      ChildSpec child;
      child.argv = {"plim-no-such-program"};
      child.exec_call = row.call;
      child.exec_failure_text = row.text;
      child.exec_failure_reported = row.reported;
      int status = wait_for_child(start_child(child));
      std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
    });
    EXPECT_EQ(got.status, 1) << row.call;
    EXPECT_EQ(got.err, row.err) << row.call;
  }
}

}  // namespace plim
