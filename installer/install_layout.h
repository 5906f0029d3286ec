#pragma once

#include <optional>
#include <string>

#include "core/package_contents.h"
#include "core/settings.h"

namespace plim {

// Where an installation lives: the prefix the user chose, the vendor
// directory "Fernhollow-Plim" in it and the install directory
// "NetscapePlugin" inside that. Paths the user gives are made absolute
// against the start directory.

// Stores `path` as settings.prefix (one trailing slash removed) and derives
// settings.vendor_dir and settings.install_dir from it; nullopt clears all
// three. The root directory "/" stays "/", with "/Fernhollow-Plim" as the
// vendor directory.
void set_prefix(Settings& settings, std::optional<std::string> path);

// Every element of the colon-separated `list` made absolute against `base`;
// elements that already are absolute stay as they are.
std::string absolute_path_list(const std::string& list, const std::string& base);

// Asks on a freshly cleared screen for an existing directory, offering
// `default_path` for an empty answer and to create a missing one. Repeats
// after every unusable answer; returns the path as typed (without its line
// end), or nullopt at end of input.
std::optional<std::string> ask_directory(const PackageContents& contents, const char* question,
                                         const char* default_path);

}  // namespace plim
