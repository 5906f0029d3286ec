#include "browser/browser_paths.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "browser/browser_test_files.h"

TEST(DirectoryOf, CutsJustAfterTheLastSlash) {
  const struct {
    const char* path;
    const char* directory;
  } cases[] = {
      {"", "./"},
      {"/", "./"},
      {"n", "./"},
      {"netscape", "./"},
      {"/x", "/"},
      {"/usr/bin/netscape", "/usr/bin/"},
      {"/usr/local/netscape/netscape", "/usr/local/netscape/"},
      {"/opt/netscape/", "/opt/netscape/"},
      {"ns/netscape", "ns/"},
  };
  for (const auto& c : cases) EXPECT_EQ(directory_of(c.path), c.directory) << '"' << c.path << '"';
}

TEST(ReadSymlink, GivesTheTargetUntilTheNextCall) {
  ScopedTempDir dir;
  std::string first = dir.path() + "/first", second = dir.path() + "/second";
  std::string long_target(4000, 'x');  // near the longest target a link can hold
  ASSERT_EQ(::symlink("/opt/ns/netscape", first.c_str()), 0);
  ASSERT_EQ(::symlink(long_target.c_str(), second.c_str()), 0);

  const char* target = read_symlink(first.c_str());
  ASSERT_NE(target, nullptr);
  EXPECT_STREQ(target, "/opt/ns/netscape");
  target = read_symlink(second.c_str());
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target, long_target);
  EXPECT_STREQ(read_symlink(first.c_str()), "/opt/ns/netscape");
}

TEST(ReadSymlink, GivesNoneForWhatIsNotALink) {
  ScopedTempDir dir;
  write_file(dir.path() + "/plain", "text");
  EXPECT_EQ(read_symlink((dir.path() + "/plain").c_str()), nullptr);
  EXPECT_EQ(read_symlink((dir.path() + "/missing").c_str()), nullptr);
}
