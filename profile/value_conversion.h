#pragma once

#include <optional>
#include <string_view>

namespace profile {

// Reads the decimal integer at the start of text: leading blanks and one sign
// allowed, reading stops at the first character that is not a digit, numbers
// beyond the int range saturate. nullopt when no digit was read; consumed (if
// given) receives the number of characters read.
std::optional<int> leading_integer(std::string_view text, std::size_t* consumed = nullptr);

// The truth value of an option value: 1 for T/t..., 0 for "" and F/f...,
// else its leading integer, else nullopt.
std::optional<int> flag_value(std::string_view text);

// The value as a whole number: blanks, one "+", an integer (with its own
// sign), blanks, and nothing else. Only blanks (or "+") read as 0. nullopt
// for the empty text or when anything else remains.
std::optional<int> number_value(std::string_view text);

}  // namespace profile
