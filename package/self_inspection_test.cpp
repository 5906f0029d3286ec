#include "package/self_inspection.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The pieces of a package file, so that each case can spoil one of them.
struct PackageParts {
  std::string image = std::string("\x7f" "ELF", 4) + std::string(96, 'i');
  std::string license = std::string(37, 'l');
  std::string archive = std::string(53, 'a');
  std::string names = std::string("license.txt.gz\0Plim.tar.gz\0", 27);
  std::string magic = std::string(kTrailerMagic, sizeof kTrailerMagic);
  std::uint32_t exe_length = 100, license_length = 37, archive_length = 53;

  std::string bytes() const {
    PackageTrailer t{};
    std::memcpy(t.magic, magic.data(), sizeof t.magic);
    t.major = 3, t.minor = 2, t.patch = 5, t.delta = 3;
    t.set_exe_length(exe_length);
    t.set_license_length(license_length);
    t.set_archive_length(archive_length);
    return image + license + archive + names + std::string(reinterpret_cast<char*>(&t), sizeof t);
  }
};

// Exactly `bytes.size()` bytes on the heap, so that the sanitizers see any
// read before or after them.
struct ExactBuffer {
  explicit ExactBuffer(const std::string& bytes) : data(new char[bytes.size()]), size(std::uint32_t(bytes.size())) {
    std::memcpy(data.get(), bytes.data(), bytes.size());
  }
  std::unique_ptr<char[]> data;
  std::uint32_t size;
};

TEST(ReadPackageContents, FindsEveryPieceOfAGoodPackage) {
  ExactBuffer file(PackageParts().bytes());
  PackageContents c;
  ASSERT_EQ(0, read_package_contents(file.data.get(), file.size, c));
  const char* base = file.data.get();
  EXPECT_EQ(base, c.image);
  EXPECT_EQ(base + 100, c.license_data);
  EXPECT_EQ(base + 137, c.archive_data);
  EXPECT_STREQ("license.txt.gz", c.license_name);
  EXPECT_STREQ("Plim.tar.gz", c.archive_name);
  EXPECT_EQ(base + 205, c.archive_name);
  EXPECT_EQ(0, std::memcmp(&c.exe_signature, "\x7f" "ELF", 4));
  EXPECT_EQ((std::array<int, 4>{3, 2, 5, 3}),
            (std::array<int, 4>{c.trailer.major, c.trailer.minor, c.trailer.patch, c.trailer.delta}));
}

TEST(ReadPackageContents, EveryBadTrailerMakesABareExecutable) {
  const struct {
    const char* what;
    std::string (*file)(PackageParts p);
  } cases[] = {
      {"wrong magic", [](PackageParts p) { p.magic[3] = 'W'; return p.bytes(); }},
      {"magic without its NUL", [](PackageParts p) { p.magic[9] = 'F'; return p.bytes(); }},
      {"lengths one beyond the file", [](PackageParts p) { p.archive_length += 28; return p.bytes(); }},
      {"lengths far beyond the file", [](PackageParts p) { p.exe_length = 0xffffffffu; return p.bytes(); }},
      // These two sums are right modulo 2^32, so 32-bit arithmetic would accept them.
      {"lengths whose sum wraps to the real one",
       [](PackageParts p) { p.exe_length += 0x80000000u, p.license_length += 0x80000000u; return p.bytes(); }},
      {"lengths whose sum with 28 wraps to zero", [](PackageParts p) { p.exe_length = 0u - 28 - 37 - 53; return p.bytes(); }},
      {"lengths that leave one name before the trailer", [](PackageParts p) { p.archive_length += 15; return p.bytes(); }},
      {"archive name without NUL", [](PackageParts p) { p.names.back() = 'z'; return p.bytes(); }},
      {"no NUL at all", [](PackageParts p) { p.names = std::string(27, 'n'); return p.bytes(); }},
      {"extra bytes between names and trailer", [](PackageParts p) { p.names += "zz"; return p.bytes(); }},
      {"a trailer and nothing else",
       [](PackageParts p) {
         p.image = p.license = p.archive = p.names = "";
         p.exe_length = p.license_length = p.archive_length = 0;
         return p.bytes();
       }},
      {"file shorter than 28 bytes", [](PackageParts p) { return p.bytes().substr(0, 27); }},
      {"a trailer's last 27 bytes", [](PackageParts p) { std::string b = p.bytes(); return b.substr(b.size() - 27); }},
      {"one byte", [](PackageParts) { return std::string("\x7f"); }},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.what);
    ExactBuffer file(bad.file(PackageParts()));
    PackageContents c;
    std::memset(&c, 0x5a, sizeof c);  // nothing of an earlier state may survive
    EXPECT_EQ(-1, read_package_contents(file.data.get(), file.size, c));

    EXPECT_EQ(file.size, c.trailer.exe_length());
    EXPECT_EQ(0u, c.trailer.license_length() | c.trailer.archive_length());
    EXPECT_EQ(0, std::memcmp(c.trailer.magic, "EOFwytEOF", 10));
    EXPECT_EQ(0, c.trailer.major + c.trailer.minor + c.trailer.patch + c.trailer.delta);
    EXPECT_EQ(0, c.trailer.reserved[0] + c.trailer.reserved[1]);
    EXPECT_EQ(0u, c.exe_signature);
    EXPECT_EQ(file.data.get(), c.image);
    EXPECT_TRUE(!c.license_data && !c.archive_data && !c.license_name && !c.archive_name);
  }
}

}  // namespace
