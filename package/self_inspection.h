#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "core/package_contents.h"

namespace plim {

// Maps the program's own file and fills `contents` from its trailer.
// The file read is the one actually running (the kernel's /proc/self/exe),
// so a program started from PATH under its bare name finds itself too;
// `path`, the name it was started by, serves only where that link cannot be
// opened. Returns 0 for a package and -1 for a bare executable (no or an
// inconsistent trailer), in which case `contents` describes the whole
// file as the executable image with no payload and version 0.0.0.0. A file
// that cannot be mapped ends the process with status 1. The mapping and the
// descriptor are kept for the run.
int inspect_own_package(const char* path, PackageContents& contents);

// The open descriptor of the own file, for copies made inside the kernel;
// -1 before inspect_own_package.
int own_file_descriptor();

// The offset in the own file of the `length` bytes at `data`, or -1 when they
// do not all lie in its mapping.
off_t own_file_offset(const char* data, std::size_t length);

// The same check on `size` bytes at `data`, filling `contents` with pointers
// into `data`. Reads nothing outside those bytes, whatever the trailer says.
int read_package_contents(const char* data, std::uint32_t size, PackageContents& contents);

}  // namespace plim
