#include "browser/libc_scan.h"

#include <fcntl.h>
#include <unistd.h>

#include "core/unique_fd.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// Every block size from one byte up puts the block boundaries at every
// position inside the texts and between a text and its following byte; the
// scan's result may not depend on the block size.
TEST(LibcScan, FindsTheTextsAcrossEveryBlockBoundary) {
  ScratchDir dir;
  expect_table("browser/testdata/libc_scan.table", [&](const std::vector<std::string>& f) {
    write_file(dir / "candidate", f[0]);
    std::string found;
    for (std::size_t block = 1; block <= 40; ++block) {
      UniqueFd fd(::open((dir / "candidate").c_str(), O_RDONLY));
      char c = scan_for_libc_char(fd.get(), block, kLibcScanLimit);
      std::string result = c ? std::string(1, c) : "none";
      if (found.empty()) found = result;
      if (result != found)
        return found.append(", but ").append(result).append(" with blocks of ") + std::to_string(block);
    }
    return found;
  });
}

TEST(LibcScan, StopsReadingOnceBothTextsWereSeen) {
  ScratchDir dir;
  write_file(dir / "candidate", "libc.so.6 MOZILLA_HOME ", 16 * kLibcScanBlockSize);
  UniqueFd fd(::open((dir / "candidate").c_str(), O_RDONLY));
  EXPECT_EQ(scan_for_libc_char(fd.get(), kLibcScanBlockSize, kLibcScanLimit), '6');
  EXPECT_LE(::lseek(fd.get(), 0, SEEK_CUR), off_t(kLibcScanBlockSize));
}

// Texts beyond the limit are not seen, and no byte beyond it is read; one
// that ends right at the limit still counts.
TEST(LibcScan, ReadsNoFurtherThanItsLimit) {
  ScratchDir dir;
  const std::string texts = "libc.so.6 MOZILLA_HOME ";
  for (std::size_t limit : {texts.size(), texts.size() - 1}) {
    write_file(dir / "candidate", std::string(1000, 'x') + texts + std::string(5000, 'y'));
    UniqueFd fd(::open((dir / "candidate").c_str(), O_RDONLY));
    char c = scan_for_libc_char(fd.get(), 64, 1000 + limit);
    EXPECT_EQ(c, limit == texts.size() ? '6' : '\0') << limit;
    EXPECT_LE(::lseek(fd.get(), 0, SEEK_CUR), off_t(1000 + limit));
  }
}

}  // namespace plim
