#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "core/unique_fd.h"

namespace plim {

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

// A directory reached once and held open: every later step works relative
// to the descriptor, so no link swapped into the path meanwhile leads
// elsewhere.
struct HeldDir {
  UniqueFd fd;           // O_RDONLY|O_DIRECTORY; empty on failure
  bool created = false;  // made by this call: it has no mode or owner of the user's to keep
};

// Reaches `path` through reach_path, creating its last component (one level,
// with `mode`) when it is missing. For root, a path that an ordinary user
// controls is refused ("Refused:" on standard error and in the run log): the
// work done there would run as root. Any failure is reported on standard
// error, and the descriptor is empty.
HeldDir open_trusted_dir(const char* path, mode_t mode);

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

}  // namespace plim
