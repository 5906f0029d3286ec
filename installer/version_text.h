#pragma once

#include <string>

#include "core/package_contents.h"

namespace plim {

// How a package's version reads where it is shown or recorded.
enum class VersionForm {
  kSetting,  // "3.0.1", "3.0.1.2" for a release with a delta, "3.0 beta 4" for a beta
  kSpaced,   // letter-spaced for the screens, without a release's delta: "3 . 0 . 1", "3 . 0   B e t a   4"
};

// The version of the trailer (a patch of 0 marks a beta) in `form`.
std::string version_text(const PackageTrailer& trailer, VersionForm form);

// Whether the trailer's version is a beta.
inline bool is_beta(const PackageTrailer& trailer) { return trailer.patch == 0; }

}  // namespace plim
