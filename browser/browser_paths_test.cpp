#include "browser/browser_paths.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/test_support/scratch_dir.h"

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
