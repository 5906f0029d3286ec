#include "installer/install_layout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "installer/settings.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

// Creating directories and the prefix question run in the sandbox:
// tests/e2e/prefix_question_test.sh and extract_mode_test.sh.
namespace {

TEST(SetPrefixTest, DerivesBothDirectoriesOrClearsAllThree) {
  const struct {
    std::optional<std::string> given, prefix, vendor_dir, install_dir;
  } cases[] = {
      {"/opt", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      {"/opt/", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      // Only one trailing slash goes.
      {"/opt//", "/opt/", "/opt//Fernhollow-Plim", "/opt//Fernhollow-Plim/NetscapePlugin"},
      // The root directory is a prefix like any other.
      {"/", "/", "/Fernhollow-Plim", "/Fernhollow-Plim/NetscapePlugin"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
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
  };
  for (const PathCase& c : cases) EXPECT_EQ(absolute_path(c.path, c.base), c.expected) << c.path;
}

TEST(AbsolutePathTest, ListElementsGetTheBaseUnlessAbsolute) {
  const PathCase cases[] = {
      {"/a:b:/c:d", "/home/u", "/a:/home/u/b:/c:/home/u/d"},
      {"a:b", "/", "/a:/b"},
      {"a:", "/w", "/w/a:"},  // an empty element stays empty
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

}  // namespace
