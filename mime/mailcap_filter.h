#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace plim {

// The mailcap dialect: "type;command;flags" lines.

inline constexpr char kMailcapMarker[] = "#mailcap entry added by Plim Install";

// Whether `line` is the entry of one of the plug-in's types: the type itself,
// then ";" ("image/x-plimmo;" is not an entry of "image/x-plim").
bool is_mailcap_entry(std::string_view line);

// Copies a mailcap file without the plug-in's entries, each taking the one
// comment line directly above it along. False when reading or writing failed.
bool filter_mailcap(FILE* in, FILE* out);

// The nine entries, each below its marker line: the handled types open in
// the plug-in, with the viewer in `install_dir` when there is one; the
// obsolete types are declared deleted.
std::string mailcap_entries(const std::optional<std::string>& install_dir);

}  // namespace plim
