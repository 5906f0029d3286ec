#pragma once

#include <string_view>

// Two rules every part of the profile library reads text by. The library
// depends on nothing else of ours, so it keeps its own copies.

// Blanks are space, tab, line break, vertical tab, form feed, carriage return.
constexpr bool is_blank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The part of name after its last "/", or name itself.
constexpr std::string_view base_name(std::string_view name) {
  std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}
