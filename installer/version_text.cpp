#include "installer/version_text.h"

#include <cstdio>

namespace plim {

std::string version_text(const PackageTrailer& t, VersionForm form) {
  const bool spaced = form == VersionForm::kSpaced;
  char text[48];
  if (is_beta(t))
    std::snprintf(text, sizeof text, spaced ? "%u . %u   B e t a   %u" : "%u.%u beta %u", t.major, t.minor,
                  t.delta);
  else if (t.delta != 0 && !spaced)
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", t.major, t.minor, t.patch, t.delta);
  else
    std::snprintf(text, sizeof text, spaced ? "%u . %u . %u" : "%u.%u.%u", t.major, t.minor, t.patch);
  return text;
}

}  // namespace plim
