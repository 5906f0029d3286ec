#include "package/link_or_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "package/temp_dir_for_tests.h"

namespace {

namespace fs = std::filesystem;

struct stat status_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(0, ::lstat(path.c_str(), &st)) << path;
  return st;
}

class LinkOrCopy : public testing::Test {
 protected:
  void SetUp() override {
    old_umask_ = ::umask(027);
    write_file(dir_ / "lib.so", "library bytes");
    ::chmod((dir_ / "lib.so").c_str(), 0775);
  }
  void TearDown() override { ::umask(old_umask_); }

  TempDir dir_;
  mode_t old_umask_ = 0;
};

TEST_F(LinkOrCopy, LinksWhereItCan) {
  link_or_copy((dir_ / "lib.so").c_str(), (dir_ / "plugin.so").c_str());
  EXPECT_EQ(status_of(dir_ / "lib.so").st_ino, status_of(dir_ / "plugin.so").st_ino);
  EXPECT_EQ(2u, status_of(dir_ / "lib.so").st_nlink);
}

TEST_F(LinkOrCopy, LeavesAnExistingLinkAlone) {
  ASSERT_EQ(0, ::link((dir_ / "lib.so").c_str(), (dir_ / "plugin.so").c_str()));
  link_or_copy((dir_ / "lib.so").c_str(), (dir_ / "plugin.so").c_str());
  EXPECT_EQ(status_of(dir_ / "lib.so").st_ino, status_of(dir_ / "plugin.so").st_ino);
  EXPECT_EQ(2u, status_of(dir_ / "lib.so").st_nlink);
  EXPECT_FALSE(fs::exists(dir_ / "plugin.so~"));
}

TEST_F(LinkOrCopy, ReplacesAnotherFileByALink) {
  write_file(dir_ / "plugin.so", "an older library");
  link_or_copy((dir_ / "lib.so").c_str(), (dir_ / "plugin.so").c_str());
  EXPECT_EQ(status_of(dir_ / "lib.so").st_ino, status_of(dir_ / "plugin.so").st_ino);
}

TEST_F(LinkOrCopy, CopiesWithThePermissionBitsLessTheMask) {
  // A dangling symbolic link takes no hard link and has no status to compare,
  // so the copy path is taken, as between file systems.
  fs::create_symlink(dir_ / "nowhere", dir_ / "plugin.so");
  link_or_copy((dir_ / "lib.so").c_str(), (dir_ / "plugin.so").c_str());
  struct stat copy = status_of(dir_ / "plugin.so");
  EXPECT_TRUE(S_ISREG(copy.st_mode));
  EXPECT_NE(status_of(dir_ / "lib.so").st_ino, copy.st_ino);
  EXPECT_EQ(0750u, copy.st_mode & 07777);
  EXPECT_EQ("library bytes", read_file(dir_ / "plugin.so"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "plugin.so~")));
}

TEST_F(LinkOrCopy, AnUnreadableSourceEndsTheRun) {
  EXPECT_EXIT(link_or_copy((dir_ / "missing").c_str(), (dir_ / "plugin.so").c_str()),
              testing::ExitedWithCode(1), "^open: No such file or directory\n$");
}

}  // namespace
