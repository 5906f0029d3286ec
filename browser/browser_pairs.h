#pragma once

#include <string_view>
#include <vector>

namespace plim {

// Browsers are named by two colon-separated lists, executables and homes
// (the command line's options, the settings file's records): the n-th
// executable goes with the n-th home, and the shorter list's last item
// stands in for its missing ones. Discovery and the uninstaller pair them
// by this one rule.
struct BrowserPair {
  std::string_view exe;
  std::string_view home;  // empty: none named
  bool last_exe;          // exe is the executable list's last item
};

// The pairs of `exes` and `homes`, as many as the longer list has items;
// they view the two lists.
std::vector<BrowserPair> pair_browser_lists(std::string_view exes, std::string_view homes);

}  // namespace plim
