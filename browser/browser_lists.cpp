// Browsers named by the user: colon-separated executables and homes, and
// browser homes scanned for their executables.

#include <dirent.h>

#include <memory>
#include <vector>

#include "browser/browser_discovery.h"
#include "browser/browser_pairs.h"
#include "core/dir_handle.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/system_error.h"

namespace plim {

bool add_browsers_from_lists(BrowserList& list, const PackageContents& own,
                             std::optional<std::string_view> exe_list,
                             std::optional<std::string_view> dir_list) {
  // No executable list behaves as a list whose only (and so last) item is
  // empty: its directories are scanned.
  bool added = false;
  for (const BrowserPair& pair : pair_browser_lists(exe_list.value_or(""), dir_list.value_or(""))) {
    std::optional<std::string_view> dir;
    if (!pair.home.empty()) dir = pair.home;
    if (!pair.exe.empty()) {
      added |= add_browser_executable(list, own, std::string(pair.exe).c_str(), dir, -1, nullptr);
    } else if (pair.last_exe && dir) {
      added |= scan_browser_directory(list, own, std::string(*dir));
    }
  }
  return added;
}

bool scan_browser_directory(BrowserList& list, const PackageContents& own, const std::string& dir) {
  if (!is_browser_directory(dir)) return false;
  UniqueDir listing(::opendir(dir.c_str()));
  if (!listing) {
    report_system_error("opendir");
    log_printf(stderr, "Error:\tcan not open directory %s\n", printable(dir).c_str());
    return false;
  }
  bool added = false;
  while (const struct dirent* entry = ::readdir(listing.get())) {
    if (entry->d_name[0] == '\0') continue;
    // "." and ".." are directories and fail the candidate test.
    added |= add_browser_executable(list, own, (dir + "/" + entry->d_name).c_str(), dir, -1, nullptr);
  }
  return added;
}

}  // namespace plim
