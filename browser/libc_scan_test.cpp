#include "browser/libc_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/test_support/scratch_dir.h"
#include "core/unique_fd.h"

namespace {

using namespace std::string_literals;

char scan_text(const std::string& text, std::size_t block_size) {
  ScratchDir dir;
  std::string file = dir.path() + "/candidate";
  write_file(file, text);
  UniqueFd fd(::open(file.c_str(), O_RDONLY));
  return scan_for_libc_char(fd.get(), block_size);
}

struct ScanCase {
  const char* what;
  std::string text;
  char expected;
};

const ScanCase kCases[] = {
    {"both texts", "xxlibc.so.6yyMOZILLA_HOME=z", '6'},
    {"MOZILLA_HOME first", "MOZILLA_HOME=/opt/ns libc.so.6", '6'},
    {"libc 5 before libc 6", "libc.so.5 libc.so.6 MOZILLA_HOME ", '5'},
    {"libc 6 before libc 5", "libc.so.6 libc.so.5 MOZILLA_HOME ", '6'},
    {"libc.so. then NUL is passed over", "libc.so.\0libc.so.5MOZILLA_HOME!"s, '5'},
    {"only libc.so. then NUL", "libc.so.\0 MOZILLA_HOME!"s, 0},
    {"libc 6 without MOZILLA_HOME", "libc.so.6 MOZILLA_HOM E", 0},
    {"MOZILLA_HOME without libc", "libc.so MOZILLA_HOME=", 0},
    {"MOZILLA_HOME ends the file", "libc.so.6 MOZILLA_HOME", 0},
    {"libc.so. ends the file", "MOZILLA_HOME=libc.so.", 0},
    {"overlapping start", "libclibc.so.6MOZILLA_MOZILLA_HOME.", '6'},
    {"empty file", "", 0},
};

}  // namespace

// Every block size from one byte up puts the block boundaries at every
// position inside the texts and between a text and its following byte; the
// scan does not depend on the block size otherwise.
TEST(LibcScan, FindsTheTextsAcrossEveryBlockBoundary) {
  for (const ScanCase& c : kCases)
    for (std::size_t block = 1; block <= 40; ++block)
      EXPECT_EQ(scan_text(c.text, block), c.expected) << c.what << ", block size " << block;
}

TEST(LibcScan, StopsReadingOnceBothTextsWereSeen) {
  ScratchDir dir;
  std::string file = dir.path() + "/candidate";
  const off_t size = 16 * kLibcScanBlockSize;
  write_file(file, "libc.so.6 MOZILLA_HOME ", size);
  UniqueFd fd(::open(file.c_str(), O_RDONLY));
  EXPECT_EQ(scan_for_libc_char(fd.get(), kLibcScanBlockSize), '6');
  EXPECT_LE(::lseek(fd.get(), 0, SEEK_CUR), static_cast<off_t>(kLibcScanBlockSize));
}
