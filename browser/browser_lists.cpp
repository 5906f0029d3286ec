// Browsers named by the user: colon-separated executables and homes, and
// browser homes scanned for their executables.

#include <dirent.h>

#include <memory>
#include <vector>

#include "browser/browser_discovery.h"
#include "core/colon_list.h"
#include "core/dir_handle.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/system_error.h"

bool add_browsers_from_lists(std::optional<std::string_view> exe_list,
                             std::optional<std::string_view> dir_list) {
  // No executable list behaves as a list whose only (and so last) item is
  // empty: its directories are scanned.
  std::vector<std::string_view> exes = split_at_colons(exe_list.value_or(""));
  std::vector<std::string_view> dirs;
  if (dir_list) dirs = split_at_colons(*dir_list);

  bool added = false;
  std::size_t pairs = std::max(exes.size(), dirs.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    // The shorter list's last item stands in for its missing ones.
    std::size_t exe_index = std::min(i, exes.size() - 1);
    std::string_view exe = exes[exe_index];
    std::optional<std::string_view> dir;
    if (!dirs.empty() && !dirs[std::min(i, dirs.size() - 1)].empty())
      dir = dirs[std::min(i, dirs.size() - 1)];

    if (!exe.empty()) {
      added |= add_browser_executable(std::string(exe).c_str(), dir, -1, nullptr);
    } else if (exe_index == exes.size() - 1 && dir) {
      added |= scan_browser_directory(std::string(*dir));
    }
  }
  return added;
}

bool scan_browser_directory(const std::string& dir) {
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
    added |= add_browser_executable((dir + "/" + entry->d_name).c_str(), dir, -1, nullptr);
  }
  return added;
}
