#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plim {

// The browser home a process announces in its environment (the contents of
// /proc/N/environ, NUL-separated): the first non-empty value after a
// "MOZILLA_HOME=" found at any byte position. White space after the '=' is
// skipped; the value is at most 1023 bytes, ends at white space and is cut at
// the first NUL. An empty value is passed over and the search goes on after
// the bytes taken for it.
std::optional<std::string> mozilla_home_in_environ(std::string_view environment);

// The contents of the file at `path`, at most its first `limit` bytes, or none
// when it cannot be opened or read. The files of /proc that root reads for
// other users' processes can be made as long as their owners like.
std::optional<std::string> read_small_file(const char* path, std::size_t limit);

// The real user id in the contents of /proc/N/status (the first field of its
// "Uid:" line), or -1 when there is none. The owner of /proc/N follows the
// effective id instead (root for a set-user-id program), and a browser acts
// for the user who started it.
int real_uid_in_status(std::string_view status);

}  // namespace plim
