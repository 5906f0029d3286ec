#pragma once

#include <string>
#include <string_view>

namespace plim {

// Root prints paths and values that other users chose: /proc entries, their
// environments, settings files of earlier runs. Written raw, a control
// sequence among those bytes would reach root's terminal (and could move the
// cursor, retitle the window or hide a line). printable() keeps every byte
// that cannot act on a terminal and escapes the rest: "\n", "\t", "\r",
// "\e" for escape, and "\xHH" for other C0 controls, DEL, the C1 controls
// (raw, or encoded in UTF-8) and bytes that are no part of valid UTF-8.
// Ordinary paths, UTF-8 names included, come back unchanged.
std::string printable(std::string_view text);

}  // namespace plim
