#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace profile {

// The rules every part of the profile library reads text by. The library
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

// What printf's "%1.<most>s" makes of text: its first `most` characters (up
// to a NUL), and an empty text padded to one blank by the width 1.
inline std::string printf_field(std::string_view text, std::size_t most) {
  std::string_view shown = text.substr(0, std::min(most, text.find('\0')));
  return shown.empty() ? std::string(1, ' ') : std::string(shown);
}

}  // namespace profile
