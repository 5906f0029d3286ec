#include "installer/package_inspection.h"

#include <cstdio>

#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "installer/version_text.h"
#include "package/package_check.h"

namespace plim {

namespace {

int show_info(const PackageContents& contents, const char* program_path) {
  // The trailer alone says all of it; the members are not read.
  if (!contents.license_name) {
    report_package_state(PackageState::kMissing, program_path);
    return 1;
  }
  log_puts(package_info(contents).c_str(), stdout);
  return 0;
}

int list_or_check(const PackageContents& contents, const char* program_path, ArchiveListing listing) {
  PackageState state = check_own_package(contents, listing);
  if (state != PackageState::kWhole) {
    report_package_state(state, program_path);
    return 1;
  }
  if (listing == ArchiveListing::kHidden)
    log_printf(stdout, "Checked:\t%s is whole\n", printable(program_path).c_str());
  return 0;
}

}  // namespace

int run_package_inspection(const PackageContents& contents, RunMode mode, const char* program_path) {
  if (mode == RunMode::kInfo) return show_info(contents, program_path);
  return list_or_check(contents, program_path,
                       mode == RunMode::kList ? ArchiveListing::kShown : ArchiveListing::kHidden);
}

std::string package_info(const PackageContents& contents) {
  const PackageTrailer& t = contents.trailer;
  std::string text = "version: " + version_text(t, VersionForm::kSetting) + "\n";
  text += "image size: " + std::to_string(t.exe_length()) + "\n";
  text += "license: " + printable(contents.license_name) + "\n";
  text += "license size: " + std::to_string(t.license_length()) + "\n";
  text += "archive: " + printable(contents.archive_name) + "\n";
  text += "archive size: " + std::to_string(t.archive_length()) + "\n";
  return text;
}

}  // namespace plim
