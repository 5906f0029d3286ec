#include "core/paths.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

struct PathCase {
  const char* path;
  const char* base;
  const char* expected;
};


TEST(DirectoryOf, CutsJustAfterTheLastSlash) {
  const struct {
    const char* path;
    const char* directory;
  } cases[] = {
      {"", "./"},         {"/", "./"},         {"netscape", "./"},
      {"/x", "/"},        {"/usr/bin/netscape", "/usr/bin/"},
      {"/opt/netscape/", "/opt/netscape/"}, {"ns/netscape", "ns/"},
  };
  for (const auto& c : cases) EXPECT_EQ(directory_of(c.path), c.directory) << '"' << c.path << '"';
}

TEST(ReadSymlink, GivesTheTargetUntilTheNextCallAndNoneForOtherFiles) {
  ScratchDir dir;
  std::string long_target(4000, 'x');  // near the longest target a link can hold
  ASSERT_EQ(::symlink("/opt/ns/netscape", (dir / "first").c_str()), 0);
  ASSERT_EQ(::symlink(long_target.c_str(), (dir / "second").c_str()), 0);
  write_file(dir / "plain", "text");

  EXPECT_STREQ(read_symlink((dir / "first").c_str()), "/opt/ns/netscape");
  const char* target = read_symlink((dir / "second").c_str());
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target, long_target);
  EXPECT_EQ(read_symlink((dir / "plain").c_str()), nullptr);
  EXPECT_EQ(read_symlink((dir / "missing").c_str()), nullptr);
}

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
