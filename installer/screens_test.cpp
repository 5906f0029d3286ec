#include "installer/screens.h"

#include "core/package_contents.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// The second banner of a run (no welcome), the Enter prompt and the run log
// are in every whole-run case under tests/cases (stdout, log).
namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
  return count;
}

// A fake "clear" first on PATH that prints "<clear>" and ends with a chosen
// status.
class ScreensTest : public ::testing::Test {
 protected:
  // exit_status < 0: no clear program at all.
  void use_clear(int exit_status) {
    write_file(dir_ / "clear", "#!/bin/sh\nprintf '<clear>'\nexit " + std::to_string(exit_status) + "\n", 0,
               0755);
    ::setenv("PATH", exit_status < 0 ? (dir_ / "empty").c_str() : (dir_.path() + ":/usr/bin:/bin").c_str(),
             1);
  }

  ScratchDir dir_;
  PackageContents contents_{};
};

// The first banner of a run, for each version form and each way clear ends
// (-1: no clear at all); form feeds are shown as "\f".
TEST_F(ScreensTest, FirstBanner) {
  std::string transcript;
  for (const char* c : {"3.0.1.0 0", "3.0.1.2 0", "3.0.0.4 0", "0.0.0.0 0", "12.34.56.0 0", "1.0.1.0 1",
                        "1.0.1.0 -1", "1.0.1.0 2"}) {
    PackageTrailer& t = contents_.trailer;
    int clear = 0;
    std::sscanf(c, "%hhu.%hhu.%hhu.%hhu %d", &t.major, &t.minor, &t.patch, &t.delta, &clear);
    use_clear(clear);
    Captured run = capture_in_child([this] { show_banner(contents_); });
    transcript += std::string("=== version and clear's status ") + c + "\n" + run.out +
                  "=== standard error:\n" + run.err;
  }
  for (std::size_t at; (at = transcript.find('\f')) != std::string::npos;) transcript.replace(at, 1, "\\f");
  expect_golden(transcript, "installer/testdata/first_banner.out");
}

TEST_F(ScreensTest, AskYesNoRepeatsUntilAnAnswerStartsWithYOrN) {
  use_clear(0);
  expect_table("installer/testdata/ask_yes_no.table", [this](const std::vector<std::string>& f) {
    Captured run =
        capture_in_child([this] { std::printf("=%d", ask_yes_no(contents_, "Continue? (y/n) ")); }, f[0]);
    std::size_t asked = occurrences(run.out, "<clear>");
    if (occurrences(run.out, "\n\nContinue? (y/n) ") != asked) return run.out;
    return std::string(run.out.ends_with("=1") ? "yes" : "no") + ", asked " + std::to_string(asked) +
           " time(s)";
  });
}

TEST_F(ScreensTest, ReadLineReturnsWholeLinesOfAnyLength) {
  // Lengths around the buffer's first capacity (8188) and its growth steps.
  for (std::size_t length : {0, 8186, 8187, 8188, 12283, 100000}) {
    std::string line(length, 'a');
    Captured run = capture_in_child(
        [] {
          for (std::optional<std::string> text; (text = read_line(stdin));)
            std::printf("[%s]", text->c_str());
        },
        line + "\ntail");
    EXPECT_EQ(run.out, "[" + line + "\n][tail]") << "length " << length;
  }
}

}  // namespace

}  // namespace plim
