#include "package/self_inspection.h"

#include <cstring>
#include <memory>
#include <sstream>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// The file a row of testdata/self_inspection.table describes.
std::string package_file(const std::vector<std::string>& f) {
  unsigned image = 0, license = 0, archive = 0, exe_length = 0, license_length = 0, archive_length = 0;
  std::sscanf(f[0].c_str(), "%u %u %u", &image, &license, &archive);
  std::sscanf(f[3].c_str(), "%u %u %u", &exe_length, &license_length, &archive_length);
  PackageTrailer t{};
  std::memcpy(t.magic, f[2].data(), sizeof t.magic);
  t.major = 3, t.minor = 2, t.patch = 5, t.delta = 3;
  t.set_exe_length(exe_length), t.set_license_length(license_length), t.set_archive_length(archive_length);
  std::string bytes = (std::string("\x7f"
                                   "ELF",
                                   4) +
                       std::string(image, 'i'))
                          .substr(0, image) +
                      std::string(license, 'l') + std::string(archive, 'a') + f[1] +
                      std::string(reinterpret_cast<char*>(&t), sizeof t);
  std::size_t kept = std::strtoul(f[4].c_str() + f[4].find(' ') + 1, nullptr, 10);
  return f[4].starts_with("first")  ? bytes.substr(0, kept)
         : f[4].starts_with("last") ? bytes.substr(bytes.size() - kept)
                                    : bytes;
}

std::string found(const char* base, std::uint32_t size, const PackageContents& c, int result) {
  const PackageTrailer& t = c.trailer;
  if (result == 0 && c.image == base) {
    std::ostringstream text;
    text << "package: licence at " << c.license_data - base << ", archive at " << c.archive_data - base
         << ", names " << c.license_name << " at " << c.license_name - base << " and " << c.archive_name
         << " at " << c.archive_name - base << ", version " << +t.major << '.' << +t.minor << '.' << +t.patch
         << '.' << +t.delta << ", signature "
         << escaped(std::string(reinterpret_cast<const char*>(&c.exe_signature), 4));
    return text.str();
  }
  bool bare = result == -1 && t.exe_length() == size && !(t.license_length() | t.archive_length()) &&
              std::memcmp(t.magic, kTrailerMagic, sizeof t.magic) == 0 &&
              !(t.major | t.minor | t.patch | t.delta | t.reserved[0] | t.reserved[1]) &&
              c.exe_signature == 0 && c.image == base && !c.license_data && !c.archive_data &&
              !c.license_name && !c.archive_name;
  if (bare) return "bare executable of " + std::to_string(size) + " bytes";
  return "neither a package nor a bare executable: result " + std::to_string(result);
}

TEST(ReadPackageContents, TableOfCases) {
  expect_table("package/testdata/self_inspection.table", [](const std::vector<std::string>& f) {
    // Exactly the file's bytes on the heap, so that the sanitizers see any
    // read before or after them.
    std::string bytes = package_file(f);
    std::unique_ptr<char[]> file(new char[bytes.size()]);
    std::memcpy(file.get(), bytes.data(), bytes.size());
    PackageContents c;
    std::memset(&c, 0x5a, sizeof c);  // nothing of an earlier state may survive
    int result = read_package_contents(file.get(), std::uint32_t(bytes.size()), c);
    return found(file.get(), std::uint32_t(bytes.size()), c, result);
  });
}

}  // namespace

}  // namespace plim
