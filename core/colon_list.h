#pragma once

#include <string_view>
#include <vector>

namespace plim {

// The items of a colon-separated list (PATH, a settings file's executables
// and homes): every colon separates, so an empty list is one empty item and
// "a::b" holds an empty item between a and b. The items view `list`.
std::vector<std::string_view> split_at_colons(std::string_view list);

}  // namespace plim
