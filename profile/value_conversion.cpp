#include "profile/value_conversion.h"

#include <climits>

#include "profile/text_rules.h"

namespace profile {

namespace {

std::size_t skip_blanks(std::string_view text, std::size_t at) {
  while (at < text.size() && is_blank(text[at])) ++at;
  return at;
}

}  // namespace

std::optional<int> leading_integer(std::string_view text, std::size_t* consumed) {
  std::size_t at = skip_blanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  std::size_t digits_start = at;
  // Accumulate as a negative number, so that INT_MIN fits, and saturate.
  long long value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (value > -static_cast<long long>(INT_MAX) - 1) value = value * 10 - (text[at] - '0');
  }
  if (at == digits_start) return std::nullopt;
  if (consumed) *consumed = at;
  if (!negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::optional<int> flag_value(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == 'T' || text[0] == 't') return 1;
  if (text[0] == 'F' || text[0] == 'f') return 0;
  return leading_integer(text);
}

std::optional<int> number_value(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::size_t at = skip_blanks(text, 0);
  if (at < text.size() && text[at] == '+') ++at;
  std::size_t consumed = 0;
  std::optional<int> number = leading_integer(text.substr(at), &consumed);
  at += consumed;
  at = skip_blanks(text, at);
  if (at != text.size()) return std::nullopt;
  return number.value_or(0);
}

}  // namespace profile
