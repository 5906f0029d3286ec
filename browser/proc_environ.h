#pragma once

#include <optional>
#include <string>
#include <string_view>

// The browser home a process announces in its environment (the contents of
// /proc/N/environ, NUL-separated): the first non-empty value after a
// "MOZILLA_HOME=" found at any byte position. White space after the '=' is
// skipped; the value is at most 1023 bytes, ends at white space and is cut at
// the first NUL. An empty value is passed over and the search goes on after
// the bytes taken for it.
std::optional<std::string> mozilla_home_in_environ(std::string_view environ);

// The whole contents of the file at `path`, or none when it cannot be opened
// or read.
std::optional<std::string> read_small_file(const char* path);
