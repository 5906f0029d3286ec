#pragma once

#include <string>
#include <string_view>
#include <vector>

// The input cut at its NUL bytes into words (a command line, the first word
// the program's name); n NULs give n + 1 words.
inline std::vector<std::string> split_at_nul(std::string_view input) {
  std::vector<std::string> words;
  std::size_t at = 0;
  for (;;) {
    std::size_t nul = input.find('\0', at);
    words.emplace_back(input.substr(at, nul == std::string_view::npos ? nul : nul - at));
    if (nul == std::string_view::npos) return words;
    at = nul + 1;
  }
}
