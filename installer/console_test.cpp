#include "installer/console.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

#include "installer/grow_buffer.h"
#include "package/package_contents.h"
#include "testing/test_support/capture_output.h"

namespace {

const std::string kRule = "+---------------------------------------------------------------------------+\n";
const std::string kFallback = "\f" + std::string(21, '\n') + "\f\n\n";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A directory holding a fake "clear" with a chosen behaviour, put first on PATH.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/plim-console-XXXXXX";
    dir_ = ::mkdtemp(dir_template);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  // exit_status < 0: no clear program at all.
  void use_clear(int exit_status) {
    if (exit_status < 0) {
      ::setenv("PATH", (dir_ + "/empty").c_str(), 1);
      return;
    }
    std::string clear = dir_ + "/clear";
    std::ofstream(clear) << "#!/bin/sh\nprintf '<clear>'\nexit " << exit_status << "\n";
    ::chmod(clear.c_str(), 0755);
    ::setenv("PATH", (dir_ + ":/usr/bin:/bin").c_str(), 1);
  }

  static void set_version(int major, int minor, int patch, int delta) {
    package_contents.trailer.major = major;
    package_contents.trailer.minor = minor;
    package_contents.trailer.patch = patch;
    package_contents.trailer.delta = delta;
  }

  std::string dir_;
};

std::string welcome(const std::string& version_line) {
  return "                                W E L C O M E\n\n"
         "                                 T O   T H E\n\n"
         "                            P l i m   P l u g i n\n\n" +
         version_line +
         "                                    F O R\n\n"
         "                                  L i n u x\n\n\n";
}

struct BannerCase {
  int major, minor, patch, delta;
  std::string box_line;
  std::string welcome_line;
};

TEST_F(ConsoleTest, FirstBannerShowsBoxAndWelcomeForReleaseAndBeta) {
  const BannerCase cases[] = {
      {3, 0, 1, 0, "|             P l i m   P l u g i n   V e r s i o n   3 . 0 . 1             |\n",
       "                          V E R S I O N   3 . 0 . 1\n\n"},
      // The delta of a release is not shown.
      {3, 0, 1, 2, "|             P l i m   P l u g i n   V e r s i o n   3 . 0 . 1             |\n",
       "                          V E R S I O N   3 . 0 . 1\n\n"},
      {3, 0, 0, 4, "|        P l i m   P l u g i n   V e r s i o n   3 . 0   B e t a   4        |\n",
       "                     V E R S I O N   3 . 0   B e t a   4\n\n"},
      // A file without trailer: all version bytes zero, the beta form.
      {0, 0, 0, 0, "|        P l i m   P l u g i n   V e r s i o n   0 . 0   B e t a   0        |\n",
       "                     V E R S I O N   0 . 0   B e t a   0\n\n"},
      // Longer numbers widen the box line.
      {12, 34, 56, 0, "|             P l i m   P l u g i n   V e r s i o n   12 . 34 . 56             |\n",
       "                          V E R S I O N   12 . 34 . 56\n\n"},
  };
  use_clear(0);
  for (const BannerCase& c : cases) {
    set_version(c.major, c.minor, c.patch, c.delta);
    Captured run = capture_in_child([] { show_banner(); });
    EXPECT_EQ(run.out, "\f\n<clear>" + kRule + c.box_line + kRule + "\n" + welcome(c.welcome_line))
        << c.major << "." << c.minor << "." << c.patch << "." << c.delta;
    if (c.major < 10) {
      EXPECT_EQ(c.box_line.size(), kRule.size());
    }
  }
}

TEST_F(ConsoleTest, SecondBannerHasNoWelcome) {
  use_clear(0);
  set_version(3, 2, 5, 3);
  Captured run = capture_in_child([] {
    show_banner();
    std::fputs("|cut|", stdout);
    show_banner();
  });
  std::string second = run.out.substr(run.out.find("|cut|") + 5);
  EXPECT_EQ(second, "\f\n<clear>" + kRule +
                        "|             P l i m   P l u g i n   V e r s i o n   3 . 2 . 5             |\n" + kRule +
                        "\n");
}

TEST_F(ConsoleTest, FailingOrMissingClearFallsBackToBlankLines) {
  set_version(1, 0, 1, 0);
  use_clear(1);
  Captured failing = capture_in_child([] { show_banner(); });
  EXPECT_EQ(failing.out.substr(0, 2 + 7 + kFallback.size() + kRule.size()),
            "\f\n<clear>" + kFallback + kRule);

  use_clear(-1);
  Captured missing = capture_in_child([] { show_banner(); });
  EXPECT_EQ(missing.out.substr(0, 2 + kFallback.size() + kRule.size()), "\f\n" + kFallback + kRule);
  EXPECT_EQ(missing.err, "execve: No such file or directory\n");

  // Any other status of clear is no reason for the fallback.
  use_clear(2);
  Captured other = capture_in_child([] { show_banner(); });
  EXPECT_EQ(other.out.substr(0, 9 + kRule.size()), "\f\n<clear>" + kRule);
}

TEST_F(ConsoleTest, ReadLineReturnsWholeLinesOfAnyLength) {
  const std::string long_line(10000, 'x');
  // Lengths around the buffer's first capacity (8188) and its growth steps.
  for (std::size_t length : {std::size_t(0), std::size_t(8186), std::size_t(8187), std::size_t(8188),
                             std::size_t(12283), std::size_t(10000), std::size_t(100000)}) {
    std::string line(length, 'a');
    Captured run = capture_in_child([] {
      for (const char* text; (text = read_line(stdin));) std::printf("[%s]", text);
      std::printf("<end>");
    }, line + "\n" + "tail");
    EXPECT_EQ(run.out, "[" + line + "\n][tail]<end>") << "length " << length;
  }
  Captured empty = capture_in_child([] { std::printf("%s", read_line(stdin) ? "line" : "none"); });
  EXPECT_EQ(empty.out, "none");
}

struct AnswerCase {
  std::string input;
  bool expected;
  int banners;  // how often the question was shown
};

TEST_F(ConsoleTest, AskYesNoRepeatsUntilAnAnswerStartsWithYOrN) {
  const AnswerCase cases[] = {
      {"y\n", true, 1},
      {"  yes please\n", true, 1},
      {"\t\r\v\fY", true, 1},  // last line without line end
      {"no\n", false, 1},
      {" N\n", false, 1},
      {"maybe\n\n   \nyes\n", true, 4},
      {"", false, 1},          // end of input counts as no
      {"what\n", false, 2},    // then end of input
  };
  use_clear(0);
  set_version(1, 0, 1, 0);
  for (const AnswerCase& c : cases) {
    Captured run = capture_in_child([] { std::printf("=%d", ask_yes_no("Continue? (y/n) ")); }, c.input);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), c.expected ? "=1" : "=0") << c.input;
    // Every time: a cleared screen, the banner, then the question.
    std::size_t clears = 0, questions = 0;
    for (std::size_t at = 0; (at = run.out.find("<clear>", at)) != std::string::npos; ++at) ++clears;
    for (std::size_t at = 0; (at = run.out.find("L i n u x\n\n\nContinue? (y/n) ", at)) != std::string::npos; ++at)
      ++questions;
    for (std::size_t at = 0; (at = run.out.find(kRule + "\nContinue? (y/n) ", at)) != std::string::npos; ++at)
      ++questions;
    EXPECT_EQ(clears, std::size_t(c.banners)) << c.input;
    EXPECT_EQ(questions, std::size_t(c.banners)) << c.input;
  }
}

TEST_F(ConsoleTest, WaitForEnterTakesAnyLineOrEndOfInput) {
  Captured line = capture_in_child([] { std::printf("|%s", wait_for_enter("Press Enter ")); }, "whatever\n");
  EXPECT_EQ(line.out, "Press Enter |whatever\n");
  Captured end = capture_in_child([] { std::printf("|%d", wait_for_enter("Press Enter ") == nullptr); });
  EXPECT_EQ(end.out, "Press Enter |1");
}

TEST_F(ConsoleTest, OutputReachesRunLogAndStream) {
  std::string program = dir_ + "/installer";
  Captured run = capture_in_child([&] {
    open_run_log(program.c_str());
    log_printf(stdout, "Create:\t%s\n", "/opt/x");
    log_printf(nullptr, "log only %d\n", 7);
    log_puts("Error:\tbad\n", stderr);
    log_putc('!', stdout);
    log_line("Parse:\tconfig files and options\n");
  });
  EXPECT_EQ(run.out, "Create:\t/opt/x\n!Parse:\tconfig files and options\n\n");
  EXPECT_EQ(run.err, "Error:\tbad\n");
  EXPECT_EQ(slurp(program + ".log"),
            "Create:\t/opt/x\nlog only 7\nError:\tbad\n!Parse:\tconfig files and options\n\n");
}

TEST_F(ConsoleTest, RunLogIsTruncatedAndWithoutLogOutputStillFlows) {
  std::string program = dir_ + "/installer";
  std::ofstream(program + ".log") << "old contents of the previous run\n";
  capture_in_child([&] {
    open_run_log(program.c_str());
    log_line("new");
  });
  EXPECT_EQ(slurp(program + ".log"), "new\n");

  std::string unwritable = dir_ + "/missing-dir/installer";
  Captured run = capture_in_child([&] {
    open_run_log(unwritable.c_str());
    log_line("still shown");
  });
  EXPECT_EQ(run.out, "still shown\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ConsoleTest, RunLogNeverFollowsPlantedLinks) {
  std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "precious\n";
  struct Plant {
    const char* what;
    std::function<void(const std::string& log)> plant;
  };
  const Plant plants[] = {
      {"symbolic link", [&](const std::string& log) { ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0); }},
      {"hard link", [&](const std::string& log) { ASSERT_EQ(::link(victim.c_str(), log.c_str()), 0); }},
      {"FIFO", [&](const std::string& log) { ASSERT_EQ(::mkfifo(log.c_str(), 0666), 0); }},
  };
  int n = 0;
  for (const Plant& p : plants) {
    std::string program = dir_ + "/prog" + std::to_string(n++);
    p.plant(program + ".log");
    Captured run = capture_in_child([&] {
      open_run_log(program.c_str());
      log_line("run goes on");
    });
    EXPECT_EQ(run.out, "run goes on\n") << p.what;
    EXPECT_EQ(slurp(victim), "precious\n") << p.what;
  }
}

TEST(GrowBufferTest, GrowsInPageStepsAndKeepsContents) {
  GrowBuffer buffer;
  std::strcpy(buffer.reserve(4096), "kept");
  EXPECT_EQ(buffer.capacity(), 8188u);
  buffer.reserve(100);  // never shrinks
  EXPECT_EQ(buffer.capacity(), 8188u);
  buffer.reserve(buffer.capacity() + 4096);
  EXPECT_EQ(buffer.capacity(), 12284u);
  buffer.reserve(buffer.capacity() + 4096);
  EXPECT_EQ(buffer.capacity(), 16380u);
  EXPECT_STREQ(buffer.data(), "kept");
}

}  // namespace
