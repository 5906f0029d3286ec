#include "package/output_map.h"
#include "package/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "testing/test_support/scratch_dir.h"

// The read-only directory and the full disk are end-to-end cases:
// tests/e2e/package_output_files_test.sh.
namespace {

namespace fs = std::filesystem;

class CreateOutputMap : public testing::Test {
 protected:
  void SetUp() override { old_umask_ = ::umask(022); }
  void TearDown() override { ::umask(old_umask_); }

  // Makes the file over a previous one, fills it with a pattern and closes
  // it; checks the new contents and that no backup is left.
  void replace(const std::string& name, std::uint32_t length, mode_t mode) {
    write_file(name, "previous");
    OutputMap map = create_output_map(name, length, mode);
    ASSERT_EQ(length, map.length());
    std::string pattern(length, '\0');
    for (std::uint32_t i = 0; i < length; ++i) pattern[i] = char('a' + i % 26);
    std::memcpy(map.address(), pattern.data(), length);
    close_output_map(map);
    EXPECT_EQ(pattern, read_file(name));
    struct stat st;
    ASSERT_EQ(0, ::stat(name.c_str(), &st));
    EXPECT_EQ(mode & 0755, st.st_mode & 07777);  // less the file-creation mask
    EXPECT_FALSE(fs::exists(fs::symlink_status(name + "~")));
  }

  static bool exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

  ScratchDir dir_;
  mode_t old_umask_ = 0;
};

TEST_F(CreateOutputMap, ReplacesTheFileAndLeavesNoBackup) {
  // Lengths around the 512-byte touch stride, a page and more.
  for (std::uint32_t length : {1u, 511u, 512u, 16384u, 16385u, 40000u}) {
    SCOPED_TRACE(length);
    replace(dir_ / "out", length, 0777);
  }
}

TEST_F(CreateOutputMap, ClearsAnOldBackupOfAnyKind) {
  write_file(dir_ / "target", "not ours");
  fs::create_symlink(dir_ / "target", dir_ / "link~");
  fs::create_directory(dir_ / "dir~");
  write_file(dir_ / "file~", "old backup");
  for (const char* name : {"link", "dir", "file"}) replace(dir_ / name, 3, 0644);
  EXPECT_EQ("not ours", read_file(dir_ / "target"));
}

TEST_F(CreateOutputMap, FailuresLeaveThePreviousFile) {
  EXPECT_EXIT(create_output_map(dir_ / "no-such-dir/out", 10, 0644), testing::ExitedWithCode(1),
              "^creat: No such file or directory\n$");

  // A backup that cannot be cleared keeps the previous file from moving aside.
  write_file(dir_ / "out", "previous");
  fs::create_directories(dir_ / "out~/full");
  EXPECT_EXIT(create_output_map(dir_ / "out", 10, 0644), testing::ExitedWithCode(1), "^creat: File exists\n$");
  EXPECT_EQ("previous", read_file(dir_ / "out"));
  EXPECT_TRUE(fs::is_directory(dir_ / "out~/full"));

  fs::remove_all(dir_ / "out~");
  EXPECT_EXIT(create_output_map(dir_ / "out", 0, 0644), testing::ExitedWithCode(1), "^mmap: Invalid argument\n$");
  EXPECT_EQ("previous", read_file(dir_ / "out"));
  EXPECT_FALSE(exists(dir_ / "out~"));
  // With no previous file, the incomplete one does not stay behind.
  EXPECT_EXIT(create_output_map(dir_ / "new", 0, 0644), testing::ExitedWithCode(1), "^mmap: Invalid argument\n$");
  EXPECT_FALSE(exists(dir_ / "new"));
}

// The temporary copies of extraction: a file under the name, or under its
// backup name, is not ours to move or remove.
TEST_F(CreateOutputMap, ARefusingFileLeavesTheNameAndItsBackupAlone) {
  write_file(dir_ / "member", "the user's");
  write_file(dir_ / "member~", "the user's backup");
  EXPECT_EXIT(create_output_file(dir_ / "member", 10, 0644, ExistingFile::kRefuse), testing::ExitedWithCode(1),
              "^creat: File exists\n$");
  EXPECT_EQ("the user's", read_file(dir_ / "member"));
  EXPECT_EQ("the user's backup", read_file(dir_ / "member~"));
}

}  // namespace
