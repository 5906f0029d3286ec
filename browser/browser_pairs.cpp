#include "browser/browser_pairs.h"

#include <algorithm>

#include "core/colon_list.h"

namespace plim {

std::vector<BrowserPair> pair_browser_lists(std::string_view exes, std::string_view homes) {
  std::vector<std::string_view> exe_items = split_at_colons(exes);
  std::vector<std::string_view> home_items = split_at_colons(homes);
  std::vector<BrowserPair> pairs;
  for (std::size_t i = 0; i < std::max(exe_items.size(), home_items.size()); ++i) {
    std::size_t exe_index = std::min(i, exe_items.size() - 1);
    pairs.push_back({exe_items[exe_index], home_items[std::min(i, home_items.size() - 1)],
                     exe_index == exe_items.size() - 1});
  }
  return pairs;
}

}  // namespace plim
