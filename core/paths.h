#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

// Paths as every subsystem builds them: joined with "/", made absolute
// against the start directory, cut at their last slash.

// Every directory the installer creates gets this mode (before the umask).
inline constexpr mode_t kNewDirMode = 0755;

// `path` unchanged when it begins with "/"; otherwise `base` + "/" + `path`,
// with doubled slashes and the "./" steps after them squeezed out from the
// first doubled slash on (".." is not resolved).
std::string absolute_path(const std::string& path, const std::string& base);

// The current directory, of any length. When the system cannot tell, reports
// "getcwd" and ends the process with status 1.
std::string current_directory();

// Makes `path` the current directory, creating it (one level, with `mode`)
// when it is missing. Returns 0, or -1 after reporting why on standard error.
int enter_or_create_dir(const char* path, mode_t mode);

// The same, with the path reached once by reach_path and entered through the
// descriptor, so that no link swapped into it meanwhile leads elsewhere; a
// later enter_or_create_dir of the same path stays in that directory. For
// root, a path that an ordinary user controls is refused ("Refused:" on
// standard error, -1): the work done there runs as root.
int enter_trusted_dir(const char* path, mode_t mode);

// Whether the current directory is one that either of them created in
// this run (told by device and inode, so the path it was reached by does not
// matter). A directory that was there before is the user's, with the mode
// and owner the user gave it.
bool current_dir_created_by_run();

// The part of `path` after its last '/', or the whole path without one.
std::string_view base_name(std::string_view path);

// The directory that holds the last component of `path`: up to its last '/'
// without it, "/" for "/name", "." for a path without a '/'.
std::string parent_directory(const std::string& path);

// The directory part of `path`, cut just after its last '/' (the slash
// stays): "/usr/local/netscape/netscape" gives "/usr/local/netscape/". A path
// of at most one character, or one without a '/', gives "./".
std::string directory_of(const std::string& path);

// The target of the symbolic link `path`, of any length, or nothing when it
// cannot be read or is empty.
std::optional<std::string> read_symlink(const char* path);
