#include "installer/package_inspection.h"

#include <array>

#include "testing/test_support/unit_test.h"

namespace plim {

// --list and --check, and --info of a package without a trailer, are in the
// whole-run cases (tests/cases/*-inspect-*).
namespace {

TEST(PackageInspectionTest, InfoGivesTheVersionAsTheSettingsFileWritesIt) {
  PackageContents contents{};
  contents.license_name = "license.txt.gz";
  contents.archive_name = "Plim.tar.gz";
  PackageTrailer& t = contents.trailer;
  t.set_exe_length(383368), t.set_license_length(220), t.set_archive_length(4000000000u);
  std::string listing;
  for (auto [major, minor, patch, delta] : {std::array<int, 4>{3, 2, 5, 3}, {3, 2, 5, 0}, {2, 0, 0, 1}}) {
    t.major = std::uint8_t(major), t.minor = std::uint8_t(minor), t.patch = std::uint8_t(patch);
    t.delta = std::uint8_t(delta);
    listing += package_info(contents) + "--\n";
  }
  contents.license_name = "lic\x1b[2J.gz";  // the names come from the file: printed escaped
  listing += package_info(contents);
  expect_golden(listing, "installer/testdata/package_info.out");
}

}  // namespace

}  // namespace plim
