#include "package/exit_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/child_process.h"
#include "package/extraction.h"
#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// Whether the process `pid_text` names is gone; one still there is ended.
bool gone(const std::string& pid_text) {
  pid_t pid = std::atoi(pid_text.c_str());
  if (pid <= 0) return false;
  if (::kill(pid, 0) == 0) {
    ::kill(pid, SIGKILL);
    return false;
  }
  return errno == ESRCH;
}

// The (empty) gzip stream.
const char kEmptyGzip[] = "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00";

}  // namespace

TEST(ExitCleanupTest, AnExitStopsAndReapsTheChildrenAndRemovesTheFiles) {
  ScratchDir dir;
  std::string copy = dir / "Plim.tar.gz", kept = dir / "kept";
  write_file(copy, "half");
  write_file(kept, "");
  Captured run = capture_in_child([&] {
    ExitCleanup done_with;
    {
      ExitCleanup finished;
      finished.remove_file(kept);
    }
    ExitCleanup cleanup;
    ChildSpec sleeper;
    sleeper.argv = {"sleep", "60"};
    pid_t pid = start_child(sleeper);
    cleanup.stop_child(pid);
    cleanup.remove_file(copy);
    std::printf("%d", int(pid));
    std::exit(1);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(gone(run.out)) << "the child outlived the exit: " << run.out;
  EXPECT_NE(::access(copy.c_str(), F_OK), 0) << "the copy stayed";
  EXPECT_EQ(::access(kept.c_str(), F_OK), 0) << "a finished cleanup removed its file";
}

// The children of the unpacking go with an exit in the middle of it (here
// from the work done beside it, as when writing the archive's copy fails).
TEST(ExitCleanupTest, AnExitDuringThePipelineTakesGunzipAndTheConsumerAlong) {
  ScratchDir dir;
  std::string pid_file = dir / "consumer.pid";
  Captured run = capture_in_child([&] {
    std::string script = "echo $$ >" + pid_file + "; exec sleep 60 >/dev/null 2>&1";
    auto exit_once_started = [&] {
      for (int i = 0; i < 1000 && read_file(pid_file).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::exit(1);
      return false;
    };
    pipe_through_gunzip(kEmptyGzip, sizeof kEmptyGzip - 1, {"sh", "-c", script}, exit_once_started);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(gone(read_file(pid_file))) << "the consumer outlived the exit";
}

}  // namespace plim
