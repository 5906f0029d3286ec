#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

// Where an installation lives: the prefix the user chose, the vendor
// directory "Fernhollow-Plim" in it and the install directory
// "NetscapePlugin" inside that. Paths the user gives are made absolute
// against the start directory.

// Every directory the installer creates gets this mode (before the umask).
inline constexpr mode_t kNewDirMode = 0755;

// Stores `path` as settings.prefix (one trailing slash removed) and derives
// settings.vendor_dir and settings.install_dir from it; nullopt clears all
// three. The root directory "/" stays "/", with "/Fernhollow-Plim" as the
// vendor directory.
void set_prefix(std::optional<std::string> path);

// `path` unchanged when it begins with "/"; otherwise `base` + "/" + `path`,
// with doubled slashes and the "./" steps after them squeezed out from the
// first doubled slash on (".." is not resolved).
std::string absolute_path(const std::string& path, const std::string& base);

// Every element of the colon-separated `list` made absolute against `base`;
// elements that already are absolute stay as they are.
std::string absolute_path_list(const std::string& list, const std::string& base);

// The current directory, in a buffer kept by this function (the same buffer
// on every call, valid until the next call). When the system cannot tell,
// reports "getcwd" and ends the process with status 1.
const char* current_directory();

// Makes `path` the current directory, creating it (one level, with `mode`)
// when it is missing. Returns 0, or -1 after reporting why on standard error.
int enter_or_create_dir(const char* path, mode_t mode);

// Asks on a freshly cleared screen for an existing directory, offering
// `default_path` for an empty answer and to create a missing one. Repeats
// after every unusable answer; returns the path as typed (without its line
// end), or nullopt at end of input.
std::optional<std::string> ask_directory(const char* question, const char* default_path);
