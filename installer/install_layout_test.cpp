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

class EnterOrCreateDirTest : public ::testing::Test {
 protected:
  // Runs enter_or_create_dir in a child; reports its result and where it ended.
  Captured enter(const std::string& path, mode_t mode = 0755) {
    return capture_in_child([&] {
      ::umask(022);
      if (::chdir("/") != 0) return;
      int result = enter_or_create_dir(path.c_str(), mode);
      std::printf("%d %s", result, current_directory());
    });
  }
  ScratchDir dir_;
};

TEST_F(EnterOrCreateDirTest, EntersExistingOrCreatesOneLevel) {
  Captured existing = enter(dir_.path());
  EXPECT_EQ(existing.out, "0 " + dir_.path());

  Captured created = enter(dir_ / "new");
  EXPECT_EQ(created.out, "0 " + dir_ / "new");
  struct stat st;
  ASSERT_EQ(::stat((dir_ / "new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(created.err, "");
}

TEST_F(EnterOrCreateDirTest, ReportsWhatFailed) {
  write_file(dir_ / "file", "x");
  struct FailureCase {
    std::string path;
    std::string err;
  };
  const FailureCase cases[] = {
      {dir_ / "a/b", "mkdir: No such file or directory\nFailed to created directory " + dir_ / "a/b" + "\n"},
      {dir_ / "file", "mkdir: File exists\nFailed to created directory " + dir_ / "file" + "\n"},
  };
  for (const FailureCase& c : cases) {
    Captured run = enter(c.path);
    EXPECT_EQ(run.out, "-1 /") << c.path;  // still where it was
    EXPECT_EQ(run.err, c.err);
  }
}

// The questions print their banner through "clear"; a quiet one keeps the
// output to the box and the texts under test.
class AskDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_.use_quiet_clear(); }

  Captured ask(const std::string& input) {
    return capture_in_child(
        [&] {
          ::umask(022);
          std::optional<std::string> answer = ask_directory("Where?", "/the/default");
          std::printf("<%s>", answer ? answer->c_str() : "none");
        },
        input);
  }
  static std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  ScratchDir dir_;
};

TEST_F(AskDirectoryTest, EmptyLineAcceptsTheDefaultUnexamined) {
  Captured run = ask("\n");
  EXPECT_NE(run.out.find("Where?\n[/the/default] : <"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.substr(run.out.size() - 14), "<" "/the/default>");
  EXPECT_EQ(run.err, "");
}

TEST_F(AskDirectoryTest, ExistingDirectoryIsReturnedAsTyped) {
  Captured run = ask(dir_.path() + "/\n");
  EXPECT_EQ(run.out.substr(run.out.rfind('<')), "<" + dir_.path() + "/>");
  EXPECT_EQ(count(run.out, "Where?\n"), 1u);
}

TEST_F(AskDirectoryTest, MissingDirectoryIsCreatedOnYes) {
  std::string wanted = dir_ / "prefix";
  Captured run = ask(wanted + "\ny\n");
  EXPECT_EQ(run.out.substr(run.out.rfind('<')), "<" + wanted + ">");
  EXPECT_NE(run.out.find("Create Directory? (y/n) "), std::string::npos);
  struct stat st;
  ASSERT_EQ(::stat(wanted.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

struct RejectCase {
  std::string what;
  std::string input;   // the rejected answer and what follows it, then end of input
  std::string answer;  // as echoed in the "Invalid directory" line
  std::string err_before;
};

TEST_F(AskDirectoryTest, UnusableAnswersAskAgainUntilEndOfInput) {
  write_file(dir_ / "file", "x");
  const RejectCase cases[] = {
      {"relative path", "relative/dir\n", "relative/dir", ""},
      {"leading blank", " /tmp\n", " /tmp", ""},
      {"declined creation", dir_ / "no" + "\nn\n", dir_ / "no", ""},
      {"missing parent", dir_ / "a/b" + "\ny\n", dir_ / "a/b", "mkdir: No such file or directory\n"},
      {"regular file", dir_ / "file" + "\n", dir_ / "file", dir_ / "file" + " is not a directory\n"},
  };
  for (const RejectCase& c : cases) {
    Captured run = ask(c.input);
    EXPECT_EQ(run.err, c.err_before + "Error:\tInvalid directory '" + c.answer + "'\n\n") << c.what;
    EXPECT_EQ(run.out.substr(run.out.rfind('<')), "<none>") << c.what;
    EXPECT_EQ(count(run.out, "Where?\n[/the/default] : "), 2u) << c.what;
  }
  struct stat st;
  EXPECT_NE(::stat((dir_ / "no").c_str(), &st), 0);
}

TEST_F(AskDirectoryTest, RejectedAnswerThenGoodOne) {
  Captured run = ask("nope\n" + dir_.path() + "\n");
  EXPECT_EQ(run.err, "Error:\tInvalid directory 'nope'\n\n");
  EXPECT_EQ(run.out.substr(run.out.rfind('<')), "<" + dir_.path() + ">");
}

}  // namespace
