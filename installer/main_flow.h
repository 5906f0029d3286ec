#pragma once

#include "core/package_contents.h"

namespace plim {

// The whole run: chooses the mode from the command line and the profiles and
// carries it out. Returns the exit status (most failures end the process
// before that).
int run_installer(int argc, char** argv);

// Extract mode: unpack the licence and the archive of `contents` into
// extract_dir.
// Returns 0, or the negative result of entering the directory (status 255).
int run_extract(const PackageContents& contents);

}  // namespace plim
