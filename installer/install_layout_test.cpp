#include "installer/install_layout.h"

#include "installer/settings_file.h"
#include "installer/version_text.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// Creating directories and the prefix question are whole-run cases:
// tests/cases/alice-prefix-answers, alice-prefix-not-writable, alice-eof-create-dir
// and the root-extract-* cases.
namespace {

std::optional<std::string> given(const std::string& field) {
  return field == "none" ? std::nullopt : std::optional(field);
}
std::string shown(const std::optional<std::string>& value) { return value.value_or("none"); }

TEST(InstallLayout, TableOfCases) {
  expect_table("installer/testdata/layout.table", [](const std::vector<std::string>& f) -> std::string {
    if (f[0] == "set_prefix") {
      Settings settings;
      set_prefix(settings, "/previous");
      set_prefix(settings, given(f[1]));
      return shown(settings.prefix) + ", " + shown(settings.vendor_dir) + ", " + shown(settings.install_dir);
    }
    if (f[0] == "absolute_path_list") return absolute_path_list(f[1], f[2]);
    if (f[0] == "installed_license_name")
      return escaped(shown(installed_license_name(given(f[1]) ? f[1].c_str() : nullptr)));
    if (f[0] == "version_setting" || f[0] == "version_spaced") {
      PackageTrailer t{};
      std::sscanf(f[1].c_str(), "%hhu.%hhu.%hhu.%hhu", &t.major, &t.minor, &t.patch, &t.delta);
      return version_text(t, f[0] == "version_setting" ? VersionForm::kSetting : VersionForm::kSpaced);
    }
    return "no such operation: " + f[0];  // a misspelt row fails instead of testing something else
  });
}

}  // namespace

}  // namespace plim
