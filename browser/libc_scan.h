#pragma once

#include <cstddef>

namespace plim {

// Reads `fd` from its current offset to the end, or until `limit` bytes were
// read, in blocks of `block_size` bytes and looks for the two texts that mark a browser executable: the
// first "libc.so." followed by a byte other than NUL, and "MOZILLA_HOME"
// followed by at least one byte. Matches may straddle block boundaries.
// Stops reading as soon as both were seen. Returns the byte after "libc.so."
// when both were seen, else 0. A read error ends the scan as end of file does.
char scan_for_libc_char(int fd, std::size_t block_size, std::size_t limit);

// The block size executable_libc_char reads with.
inline constexpr std::size_t kLibcScanBlockSize = std::size_t{256} * 1024;

// How much of a candidate executable is read at most. A browser's two texts
// lie in its first few megabytes (Communicator's whole executable is about
// 13 MiB); the bound keeps a sparse file of terabytes, or one that another
// user keeps growing, from holding root's run for hours.
inline constexpr std::size_t kLibcScanLimit = std::size_t{64} * 1024 * 1024;

}  // namespace plim
