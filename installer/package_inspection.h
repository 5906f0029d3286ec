#pragma once

#include <string>

#include "core/package_contents.h"
#include "core/settings.h"

namespace plim {

// The inspection modes: what a package holds, without installing it. None
// asks a question, looks for a browser or needs root; none writes anything
// but the run log.
//   --list   the archive's members as "tar -tvf" lists them
//   --info   the version and the members' names and sizes, "key: value" a line
//   --check  both members read to their end and the archive listed as tar
// Each ends with status 0 for a whole package, and with 1 after one line
// saying that the package is damaged and should be fetched again.

// Runs `mode` (kList, kInfo or kCheck) for the own package, `contents`;
// returns the exit status.
int run_package_inspection(const PackageContents& contents, RunMode mode, const char* program_path);

// The --info lines of a package whose trailer is valid: the version as the
// settings file writes it, the image size, and each member's name and size.
std::string package_info(const PackageContents& contents);

}  // namespace plim
