#include "package/output_map.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "package/temp_dir_for_tests.h"

namespace {

namespace fs = std::filesystem;

class CreateOutputMap : public testing::Test {
 protected:
  void SetUp() override { old_umask_ = ::umask(022); }
  void TearDown() override { ::umask(old_umask_); }

  // Makes the file, fills it with a pattern and closes it; returns the pattern.
  std::string make(const std::string& name, std::uint32_t length, mode_t mode) {
    OutputMap map = create_output_map(name, length, mode);
    EXPECT_EQ(length, map.length());
    EXPECT_EQ(name, map.name());
    std::string pattern(length, '\0');
    for (std::uint32_t i = 0; i < length; ++i) pattern[i] = char('a' + i % 26);
    std::memcpy(map.address(), pattern.data(), length);
    close_output_map(map);
    EXPECT_FALSE(map);
    return pattern;
  }

  static mode_t mode_of(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  TempDir dir_;
  mode_t old_umask_ = 0;
};

TEST_F(CreateOutputMap, ReplacesTheFileAndLeavesNoBackup) {
  // Lengths around the 16,384-byte write block and the 512-byte touch stride.
  for (std::uint32_t length : {1u, 511u, 512u, 16384u, 16385u, 40000u}) {
    SCOPED_TRACE(length);
    write_file(dir_ / "out", "previous");
    std::string written = make(dir_ / "out", length, 0777);
    EXPECT_EQ(written, read_file(dir_ / "out"));
    EXPECT_EQ(0755u, mode_of(dir_ / "out"));  // less the file-creation mask
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "out~")));
  }
}

TEST_F(CreateOutputMap, ClearsAnOldBackupOfAnyKind) {
  write_file(dir_ / "target", "not ours");
  const struct {
    const char* what;
    void (*plant)(const std::string& backup, const std::string& target);
  } backups[] = {
      {"file", [](const std::string& b, const std::string&) { write_file(b, "old backup"); }},
      {"symbolic link", [](const std::string& b, const std::string& t) { fs::create_symlink(t, b); }},
      {"empty directory", [](const std::string& b, const std::string&) { fs::create_directory(b); }},
  };
  for (const auto& backup : backups) {
    SCOPED_TRACE(backup.what);
    write_file(dir_ / "out", "previous");
    backup.plant(dir_ / "out~", dir_ / "target");
    std::string written = make(dir_ / "out", 3, 0644);
    EXPECT_EQ(written, read_file(dir_ / "out"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "out~")));
    EXPECT_EQ("not ours", read_file(dir_ / "target"));
  }
}

TEST_F(CreateOutputMap, ACreationFailureLeavesThePreviousFile) {
  EXPECT_EXIT(create_output_map(dir_ / "no-such-dir/out", 10, 0644), testing::ExitedWithCode(1),
              "^creat: No such file or directory\n$");

  // A backup that cannot be cleared keeps the previous file from moving aside.
  write_file(dir_ / "out", "previous");
  fs::create_directories(dir_ / "out~/full");
  EXPECT_EXIT(create_output_map(dir_ / "out", 10, 0644), testing::ExitedWithCode(1),
              "^creat: File exists\n$");
  EXPECT_EQ("previous", read_file(dir_ / "out"));
  EXPECT_TRUE(fs::is_directory(dir_ / "out~/full"));
}

TEST_F(CreateOutputMap, AWriteFailurePutsThePreviousFileBack) {
  write_file(dir_ / "out", "previous");
  // The file size limit lets the first block through in part (a short write)
  // and then refuses the rest, as a full disk would.
  auto create_beyond_limit = [this] {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    create_output_map(dir_ / "out", 40000, 0644);
  };
  EXPECT_EXIT(create_beyond_limit(), testing::ExitedWithCode(1), "^write: File too large\n$");
  EXPECT_EQ("previous", read_file(dir_ / "out"));
  EXPECT_FALSE(fs::exists(dir_ / "out~"));
}

TEST_F(CreateOutputMap, AMappingFailurePutsThePreviousFileBack) {
  write_file(dir_ / "out", "previous");
  EXPECT_EXIT(create_output_map(dir_ / "out", 0, 0644), testing::ExitedWithCode(1),
              "^mmap: Invalid argument\n$");
  EXPECT_EQ("previous", read_file(dir_ / "out"));
  EXPECT_FALSE(fs::exists(dir_ / "out~"));

  // With no previous file, the incomplete one does not stay behind.
  EXPECT_EXIT(create_output_map(dir_ / "new", 0, 0644), testing::ExitedWithCode(1),
              "^mmap: Invalid argument\n$");
  EXPECT_FALSE(fs::exists(dir_ / "new"));
}

}  // namespace
