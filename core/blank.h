#pragma once

namespace plim {

// The blank characters, as the C locale's isspace has them: space, tab, line
// feed, vertical tab, form feed and carriage return. Answers to questions
// and values read from /proc are cut at them; NUL is no blank, so a value
// in a /proc file runs on across its NUL separators.
constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace plim
