#include "core/console.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "core/package_contents.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

const std::string kRule = "+---------------------------------------------------------------------------+\n";
const std::string kFallback = "\f" + std::string(21, '\n') + "\f\n\n";

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
  return count;
}

// A fake "clear" that prints "<clear>" and ends with a chosen status, first on PATH.
class ConsoleTest : public ::testing::Test {
 protected:
  // exit_status < 0: no clear program at all.
  void use_clear(int exit_status) {
    write_file(dir_ / "clear", "#!/bin/sh\nprintf '<clear>'\nexit " + std::to_string(exit_status) + "\n", 0, 0755);
    ::setenv("PATH", exit_status < 0 ? (dir_ / "empty").c_str() : (dir_.path() + ":/usr/bin:/bin").c_str(), 1);
  }

  static void set_version(int major, int minor, int patch, int delta) {
    PackageTrailer& t = package_contents.trailer;
    t.major = major, t.minor = minor, t.patch = patch, t.delta = delta;
  }

  ScratchDir dir_;
};

std::string welcome(const std::string& version_line) {
  return "                                W E L C O M E\n\n"
         "                                 T O   T H E\n\n"
         "                            P l i m   P l u g i n\n\n" +
         version_line +
         "                                    F O R\n\n"
         "                                  L i n u x\n\n\n";
}

TEST_F(ConsoleTest, FirstBannerShowsBoxAndWelcomeForReleaseAndBeta) {
  const struct {
    int major, minor, patch, delta;
    std::string box_line, welcome_line;
  } cases[] = {
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
  for (const auto& c : cases) {
    set_version(c.major, c.minor, c.patch, c.delta);
    Captured run = capture_in_child([] { show_banner(); });
    EXPECT_EQ(run.out, "\f\n<clear>" + kRule + c.box_line + kRule + "\n" + welcome(c.welcome_line))
        << c.major << "." << c.minor << "." << c.patch << "." << c.delta;
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
  EXPECT_EQ(run.out.substr(run.out.find("|cut|") + 5),
            "\f\n<clear>" + kRule + "|             P l i m   P l u g i n   V e r s i o n   3 . 2 . 5             |\n" +
                kRule + "\n");
}

TEST_F(ConsoleTest, FailingOrMissingClearFallsBackToBlankLines) {
  set_version(1, 0, 1, 0);
  use_clear(1);
  Captured failing = capture_in_child([] { show_banner(); });
  EXPECT_EQ(failing.out.substr(0, 9 + kFallback.size() + kRule.size()), "\f\n<clear>" + kFallback + kRule);

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
  // Lengths around the buffer's first capacity (8188) and its growth steps.
  for (std::size_t length : {0, 8186, 8187, 8188, 12283, 100000}) {
    std::string line(length, 'a');
    Captured run = capture_in_child([] {
      for (const char* text; (text = read_line(stdin));) std::printf("[%s]", text);
      std::printf("<end>");
    }, line + "\n" + "tail");
    EXPECT_EQ(run.out, "[" + line + "\n][tail]<end>") << "length " << length;
  }
}

TEST_F(ConsoleTest, AskYesNoRepeatsUntilAnAnswerStartsWithYOrN) {
  const struct {
    std::string input;
    bool expected;
    std::size_t banners;  // how often the question was shown
  } cases[] = {
      {"y\n", true, 1},
      {"  yes please\n", true, 1},
      {"\t\r\v\fY", true, 1},  // last line without line end
      {"no\n", false, 1},
      {" N\n", false, 1},
      {"maybe\n\n   \nyes\n", true, 4},
      {"", false, 1},        // end of input counts as no
      {"what\n", false, 2},  // then end of input
  };
  use_clear(0);
  set_version(1, 0, 1, 0);
  for (const auto& c : cases) {
    Captured run = capture_in_child([] { std::printf("=%d", ask_yes_no("Continue? (y/n) ")); }, c.input);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), c.expected ? "=1" : "=0") << c.input;
    // Every time: a cleared screen, the banner, then the question.
    EXPECT_EQ(occurrences(run.out, "<clear>"), c.banners) << c.input;
    EXPECT_EQ(occurrences(run.out, "\n\nContinue? (y/n) "), c.banners) << c.input;
  }
}

TEST_F(ConsoleTest, WaitForEnterTakesAnyLineOrEndOfInput) {
  Captured line = capture_in_child([] { std::printf("|%s", wait_for_enter("Press Enter ")); }, "whatever\n");
  EXPECT_EQ(line.out, "Press Enter |whatever\n");
  Captured end = capture_in_child([] { std::printf("|%d", wait_for_enter("Press Enter ") == nullptr); });
  EXPECT_EQ(end.out, "Press Enter |1");
}

TEST_F(ConsoleTest, OutputReachesRunLogAndStream) {
  std::string program = dir_ / "installer";
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
  EXPECT_EQ(read_file(program + ".log"),
            "Create:\t/opt/x\nlog only 7\nError:\tbad\n!Parse:\tconfig files and options\n\n");
}

}  // namespace
