#pragma once

// Maps the program's own file and fills package_contents from its trailer.
// Returns 0 for a package and -1 for a bare executable (no or an inconsistent
// trailer), in which case package_contents describes the whole file as the
// executable image with no payload and version 0.0.0.0. A file that cannot be
// mapped ends the process with status 1.
int inspect_own_package(const char* path);
