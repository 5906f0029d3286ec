#include "browser/home_users.h"

#include <pwd.h>

#include "core/paths.h"
#include "core/printable.h"
#include "core/trusted_path.h"

namespace plim {

namespace {

// The ordinary user other than `runner` who controls the way to `path`; -1
// when there is none.
int other_controller(const std::string& path, int runner) {
  ReachedPath reached = reach_path(path, LastLink::kFollow);
  if (reached.refused() || reached.failed() || reached.controller == runner) return -1;
  return reached.controller;
}

}  // namespace

std::optional<ForeignWay> foreign_way(const BrowserEntry& entry, int runner) {
  if (runner <= 0) return std::nullopt;
  const std::string exe_dir = directory_of(entry.exe_path);
  for (const std::string* path : {&entry.browser_home, &exe_dir}) {
    if (path == &exe_dir && exe_dir == entry.browser_home) continue;
    int controller = other_controller(*path, runner);
    if (controller >= 0)
      return ForeignWay{*path, "run by " + user_name(runner) + ", controlled by " + user_name(controller)};
  }
  return std::nullopt;
}

}  // namespace plim
