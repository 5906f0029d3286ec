#include "package/package_check.h"

#include <cstdio>

#include "testing/test_support/unit_test.h"

namespace plim {

// The checks run the system's gunzip and tar on bytes made here; the
// one-line reports and the modes that use them are in the whole-run cases
// (tests/cases/*-inspect-*, root-install-damaged-archive).
namespace {

std::string output_of(const std::string& command) {
  std::string bytes;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
  if (pipe) ::pclose(pipe);
  return bytes;
}

std::string flipped(std::string bytes, std::ptrdiff_t at) {
  std::size_t index = at < 0 ? bytes.size() - std::size_t(-at) : std::size_t(at);
  bytes[index] = char(~bytes[index]);
  return bytes;
}

class PackageCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_ / "tree/a.txt", "some text\n");
    archive_ = output_of("tar -C " + (dir_ / "tree") + " -czf - .");
    text_ = output_of("printf 'licence text\\n' | gzip -9c");
    ASSERT_GT(archive_.size(), 20u);
    ASSERT_GT(text_.size(), 20u);
  }
  ScratchDir dir_;
  std::string archive_, text_;
};

// Each way a member can be damaged, found in both checks; a CRC or length
// flipped at the very end is only seen by reading to the end.
TEST_F(PackageCheckTest, DamageAnywhereIsFound) {
  const struct {
    const char* what;
    std::string bytes;
    bool whole_gzip;
    bool lists_as_tar;
  } rows[] = {
      {"a tar archive", archive_, true, true},
      {"a text", text_, true, false},
      {"its CRC flipped", flipped(archive_, -8), false, false},
      {"its length flipped", flipped(archive_, -1), false, false},
      {"a byte of its data flipped", flipped(archive_, 20), false, false},
      {"cut short", archive_.substr(0, archive_.size() - 10), false, false},
      {"trailing bytes", archive_ + "junk", false, false},
      {"no gzip data", "plain text, not compressed\n", false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(gzip_member_is_whole(row.bytes.data(), row.bytes.size()), row.whole_gzip) << row.what;
    EXPECT_EQ(archive_lists_as_tar(row.bytes.data(), row.bytes.size(), ArchiveListing::kHidden),
              row.lists_as_tar)
        << row.what;
  }
}

}  // namespace

}  // namespace plim
