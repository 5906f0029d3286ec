#include "package/self_inspection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/temp_dir_for_tests.h"

namespace {

// The pieces of a package file, so that each test can spoil one of them.
struct PackageParts {
  std::string image = std::string("\x7f" "ELF", 4) + std::string(96, 'i');
  std::string license = std::string(37, 'l');
  std::string archive = std::string(53, 'a');
  std::string names = std::string("license.txt.gz\0Plim.tar.gz\0", 27);
  std::string magic = std::string(kTrailerMagic, sizeof kTrailerMagic);
  std::uint8_t version[4] = {3, 2, 5, 3};
  std::uint32_t exe_length = 100, license_length = 37, archive_length = 53;

  std::string bytes() const {
    PackageTrailer t{};
    std::memcpy(t.magic, magic.data(), sizeof t.magic);
    t.major = version[0], t.minor = version[1], t.patch = version[2], t.delta = version[3];
    t.set_exe_length(exe_length);
    t.set_license_length(license_length);
    t.set_archive_length(archive_length);
    return image + license + archive + names + std::string(reinterpret_cast<char*>(&t), sizeof t);
  }
};

// Exactly `bytes.size()` bytes on the heap, so that the sanitizers see any
// read before or after them.
struct ExactBuffer {
  explicit ExactBuffer(const std::string& bytes)
      : data(new char[bytes.size()]), size(std::uint32_t(bytes.size())) {
    std::memcpy(data.get(), bytes.data(), bytes.size());
  }
  std::unique_ptr<char[]> data;
  std::uint32_t size;
};

TEST(ReadPackageContents, FindsEveryPieceOfAGoodPackage) {
  PackageParts parts;
  ExactBuffer file(parts.bytes());
  PackageContents c;
  ASSERT_EQ(0, read_package_contents(file.data.get(), file.size, c));

  const char* base = file.data.get();
  EXPECT_EQ(base, c.image);
  EXPECT_EQ(base + 100, c.license_data);
  EXPECT_EQ(base + 137, c.archive_data);
  EXPECT_EQ(base + 190, c.license_name);
  EXPECT_EQ(base + 205, c.archive_name);
  EXPECT_STREQ("license.txt.gz", c.license_name);
  EXPECT_STREQ("Plim.tar.gz", c.archive_name);
  EXPECT_EQ(std::string(37, 'l'), std::string(c.license_data, c.trailer.license_length()));
  EXPECT_EQ(std::string(53, 'a'), std::string(c.archive_data, c.trailer.archive_length()));
  EXPECT_EQ(0, std::memcmp(&c.exe_signature, "\x7f" "ELF", 4));
  EXPECT_EQ(3, c.trailer.major);
  EXPECT_EQ(2, c.trailer.minor);
  EXPECT_EQ(5, c.trailer.patch);
  EXPECT_EQ(3, c.trailer.delta);
  EXPECT_EQ(100u, c.trailer.exe_length());
}

struct BadTrailer {
  const char* what;
  std::function<std::string()> file;
};

PackageParts with(std::function<void(PackageParts&)> spoil) {
  PackageParts p;
  spoil(p);
  return p;
}

const std::vector<BadTrailer>& bad_trailers() {
  static const std::vector<BadTrailer> cases = {
      {"wrong magic", [] { return with([](auto& p) { p.magic[3] = 'W'; }).bytes(); }},
      {"magic without its NUL", [] { return with([](auto& p) { p.magic[9] = 'F'; }).bytes(); }},
      {"lengths one beyond the file", [] { return with([](auto& p) { p.archive_length += 28; }).bytes(); }},
      {"lengths far beyond the file",
       [] { return with([](auto& p) { p.exe_length = 0xffffffffu; }).bytes(); }},
      // Each sum below is right modulo 2^32, so 32-bit arithmetic would accept it.
      {"lengths whose sum wraps to the real one",
       [] {
         return with([](auto& p) {
           p.exe_length += 0x80000000u;
           p.license_length += 0x80000000u;
         }).bytes();
       }},
      {"lengths whose sum with 28 wraps to zero",
       [] { return with([](auto& p) { p.exe_length = 0u - 28 - 37 - 53; }).bytes(); }},
      {"lengths that leave one name before the trailer",
       [] { return with([](auto& p) { p.archive_length += 15; }).bytes(); }},
      {"archive name without NUL",
       [] { return with([](auto& p) { p.names.back() = 'z'; }).bytes(); }},
      {"no NUL at all", [] { return with([](auto& p) { p.names = std::string(27, 'n'); }).bytes(); }},
      {"extra bytes between names and trailer",
       [] { return with([](auto& p) { p.names += "zz"; }).bytes(); }},
      {"a trailer and nothing else",
       [] {
         return with([](auto& p) {
           p.image = p.license = p.archive = p.names = "";
           p.exe_length = p.license_length = p.archive_length = 0;
         }).bytes();
       }},
      {"file shorter than 28 bytes", [] { return PackageParts().bytes().substr(0, 27); }},
      {"file shorter than 28 bytes ending in a trailer's tail",
       [] { std::string b = PackageParts().bytes(); return b.substr(b.size() - 27); }},
      {"one byte", [] { return std::string("\x7f"); }},
  };
  return cases;
}

TEST(ReadPackageContents, EveryBadTrailerMakesABareExecutable) {
  for (const BadTrailer& bad : bad_trailers()) {
    SCOPED_TRACE(bad.what);
    ExactBuffer file(bad.file());
    PackageContents c;
    std::memset(&c, 0x5a, sizeof c);  // nothing of an earlier state may survive
    EXPECT_EQ(-1, read_package_contents(file.data.get(), file.size, c));

    EXPECT_EQ(file.size, c.trailer.exe_length());
    EXPECT_EQ(0u, c.trailer.license_length());
    EXPECT_EQ(0u, c.trailer.archive_length());
    EXPECT_EQ(0, std::memcmp(c.trailer.magic, "EOFwytEOF", 10));
    EXPECT_EQ(0, c.trailer.major + c.trailer.minor + c.trailer.patch + c.trailer.delta);
    EXPECT_EQ(0, c.trailer.reserved[0] + c.trailer.reserved[1]);
    EXPECT_EQ(0u, c.exe_signature);
    EXPECT_EQ(file.data.get(), c.image);
    EXPECT_EQ(nullptr, c.license_data);
    EXPECT_EQ(nullptr, c.archive_data);
    EXPECT_EQ(nullptr, c.license_name);
    EXPECT_EQ(nullptr, c.archive_name);
  }
}

TEST(InspectOwnPackage, MapsTheFileAndFillsTheGlobalRecord) {
  TempDir dir;
  std::string bytes = PackageParts().bytes();
  write_file(dir / "install", bytes);

  testing::internal::CaptureStdout();
  int result = inspect_own_package((dir / "install").c_str());
  EXPECT_EQ("Find:\tSelf info\n", testing::internal::GetCapturedStdout());
  ASSERT_EQ(0, result);
  // The mapping outlives the call: the payload is read in place.
  EXPECT_EQ(bytes, std::string(package_contents.image, bytes.size()));
  EXPECT_STREQ("Plim.tar.gz", package_contents.archive_name);
}

TEST(InspectOwnPackage, AFileThatCannotBeMappedEndsTheRun) {
  TempDir dir;
  write_file(dir / "empty", "");
  EXPECT_EXIT(inspect_own_package((dir / "empty").c_str()), testing::ExitedWithCode(1),
              "^mmap: Invalid argument\n$");
  EXPECT_EXIT(inspect_own_package((dir / "missing").c_str()), testing::ExitedWithCode(1),
              "^open: No such file or directory\n$");
}

}  // namespace
