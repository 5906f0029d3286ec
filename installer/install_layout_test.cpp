#include "installer/install_layout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "installer/settings.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

struct PrefixCase {
  std::optional<std::string> given;
  std::optional<std::string> prefix, vendor_dir, install_dir;
};

TEST(SetPrefixTest, DerivesBothDirectoriesOrClearsAllThree) {
  const PrefixCase cases[] = {
      {"/opt", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      {"/opt/", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      // Only one trailing slash goes.
      {"/opt//", "/opt/", "/opt//Fernhollow-Plim", "/opt//Fernhollow-Plim/NetscapePlugin"},
      // The root directory is a prefix like any other.
      {"/", "/", "/Fernhollow-Plim", "/Fernhollow-Plim/NetscapePlugin"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const PrefixCase& c : cases) {
    set_prefix("/previous");
    set_prefix(c.given);
    EXPECT_EQ(settings.prefix, c.prefix) << c.given.value_or("none");
    EXPECT_EQ(settings.vendor_dir, c.vendor_dir) << c.given.value_or("none");
    EXPECT_EQ(settings.install_dir, c.install_dir) << c.given.value_or("none");
  }
}

struct PathCase {
  const char* path;
  const char* base;
  const char* expected;
};

TEST(AbsolutePathTest, JoinsRelativePathsAndSqueezesFromTheFirstDoubledSlash) {
  const PathCase cases[] = {
      {"opt", "/", "/opt"},
      {"x//./y", "/home/u", "/home/u/x/y"},
      {"x/./y", "/home/u", "/home/u/x/./y"},  // no doubled slash: left alone
      {"../y", "/home/u", "/home/u/../y"},    // parent steps are not resolved
      {"./a//./././b///c", "/w", "/w/./a/b/c"},
      {"/abs//./x", "/home/u", "/abs//./x"},  // absolute: copied unchanged
      {"", "/home/u", "/home/u/"},
      {"", "/", "/"},
      {"inst", "/home/u", "/home/u/inst"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(absolute_path(c.path, c.base), c.expected) << c.path;
}

TEST(AbsolutePathTest, ListElementsGetTheBaseUnlessAbsolute) {
  const PathCase cases[] = {
      {"bin/netscape:/usr/bin/netscape", "/home/u", "/home/u/bin/netscape:/usr/bin/netscape"},
      {"/a:b:/c:d", "/home/u", "/a:/home/u/b:/c:/home/u/d"},
      {"a:b", "/", "/a:/b"},
      {"a:", "/w", "/w/a:"},  // an empty element stays empty
      {"/usr/bin/netscape", "/w", "/usr/bin/netscape"},
      // A colon in the start directory's name is not a separator.
      {"a:b", "/x:y", "/x:y/a:/x:y/b"},
      {"/a:b", "/x:y", "/a:/x:y/b"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(absolute_path_list(c.path, c.base), c.expected) << c.path;
}

TEST(CurrentDirectoryTest, ReturnsPathsLongerThanTheFirstBuffer) {
  ScratchDir dir;
  Captured run = capture_in_child([&] {
    if (::chdir(dir.path().c_str()) != 0) return;
    std::string expected = dir.path();
    const std::string level(200, 'd');
    // 50 levels of 201 characters: beyond the first capacity of 8188.
    for (int i = 0; i < 50; ++i) {
      if (::mkdir(level.c_str(), 0755) != 0 || ::chdir(level.c_str()) != 0) return;
      expected += "/" + level;
    }
    const char* first = current_directory();
    std::printf("%d %d %zu", first == expected, current_directory() == first, expected.size());
  });
  EXPECT_EQ(run.out, "1 1 " + std::to_string(dir.path().size() + 50 * 201));
}

TEST(EnterOrCreateDirTest, EntersOrCreatesOneLevelElseReports) {
  ScratchDir dir;
  write_file(dir / "file", "x");
  struct DirCase {
    std::string path;
    std::string out, err;
  };
  const DirCase cases[] = {
      {dir.path(), "0 " + dir.path(), ""},
      {dir / "new", "0 " + dir / "new", ""},
      {dir / "a/b", "-1 /", "mkdir: No such file or directory\nFailed to created directory " + dir / "a/b" + "\n"},
      {dir / "file", "-1 /", "mkdir: File exists\nFailed to created directory " + dir / "file" + "\n"},
  };
  for (const DirCase& c : cases) {
    Captured run = capture_in_child([&] {
      ::umask(022);
      if (::chdir("/") != 0) return;
      int result = enter_or_create_dir(c.path.c_str(), 0755);
      std::printf("%d %s", result, current_directory());
    });
    EXPECT_EQ(run.out, c.out) << c.path;
    EXPECT_EQ(run.err, c.err) << c.path;
  }
  struct stat st;
  ASSERT_EQ(::stat((dir / "new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// The question prints its banner through "clear"; a quiet one keeps the
// output to the box and the texts under test.
class AskDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_.use_quiet_clear(); }

  // The answer comes last on standard output, between < and >.
  Captured ask(const std::string& input) {
    return capture_in_child(
        [&] {
          ::umask(022);
          std::optional<std::string> answer = ask_directory("Where?", "/the/default");
          std::printf("<%s>", answer ? answer->c_str() : "none");
        },
        input);
  }
  static std::string answer(const Captured& run) { return run.out.substr(run.out.rfind('<')); }
  ScratchDir dir_;
};

TEST_F(AskDirectoryTest, AcceptedAnswers) {
  struct AcceptCase {
    std::string input, answer;
  };
  const AcceptCase cases[] = {
      {"\n", "/the/default"},                     // the default, unexamined
      {dir_.path() + "/\n", dir_.path() + "/"},   // as typed
      {dir_ / "made" + "\ny\n", dir_ / "made"},   // created on yes
  };
  for (const AcceptCase& c : cases) {
    Captured run = ask(c.input);
    EXPECT_EQ(answer(run), "<" + c.answer + ">") << c.input;
    EXPECT_EQ(run.err, "") << c.input;
    EXPECT_NE(run.out.find("Where?\n[/the/default] : "), std::string::npos);
  }
  struct stat st;
  ASSERT_EQ(::stat((dir_ / "made").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(AskDirectoryTest, UnusableAnswersAskAgainUntilEndOfInput) {
  write_file(dir_ / "file", "x");
  struct RejectCase {
    std::string input;   // the rejected answer and what follows it, then end of input
    std::string answer;  // as echoed in the "Invalid directory" line
    std::string err_before;
  };
  const RejectCase cases[] = {
      {"relative/dir\n", "relative/dir", ""},
      {" /tmp\n", " /tmp", ""},
      {dir_ / "no" + "\nn\n", dir_ / "no", ""},
      {dir_ / "a/b" + "\ny\n", dir_ / "a/b", "mkdir: No such file or directory\n"},
      {dir_ / "file" + "\n", dir_ / "file", dir_ / "file" + " is not a directory\n"},
  };
  for (const RejectCase& c : cases) {
    Captured run = ask(c.input);
    EXPECT_EQ(run.err, c.err_before + "Error:\tInvalid directory '" + c.answer + "'\n\n") << c.input;
    EXPECT_EQ(answer(run), "<none>") << c.input;
    EXPECT_NE(run.out.find("] : ", run.out.find("] : ") + 1), std::string::npos) << "asked again";
  }
  EXPECT_NE(::access((dir_ / "no").c_str(), F_OK), 0);
}

}  // namespace
