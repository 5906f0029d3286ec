#include "core/colon_list.h"

namespace plim {

std::vector<std::string_view> split_at_colons(std::string_view list) {
  std::vector<std::string_view> items;
  for (;;) {
    std::string_view::size_type colon = list.find(':');
    items.push_back(list.substr(0, colon));
    if (colon == std::string_view::npos) return items;
    list.remove_prefix(colon + 1);
  }
}

}  // namespace plim
