#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace plim {

// One document type of the plug-in. A null `exts` or `suffixes` is absent,
// which the writers tell apart from the empty text: rows with `exts` are
// the types the plug-in handles, rows without are declared deleted.
struct PluginMimeType {
  const char* type;
  const char* exts;      // the extensions separated by commas
  const char* suffixes;  // the same extensions separated by blanks
  const char* desc;
};

inline constexpr char kPlimFileDesc[] = "Plim File";
inline constexpr char kObsoleteDesc[] = "Plim File (obsolete mime type)";

// The nine types, in the order their entries are written.
inline constexpr std::array<PluginMimeType, 9> PluginMimeTypes = {{
    {"image/x-plim", "plim,plm", "plim plm", kPlimFileDesc},
    {"image/x.plim", "", nullptr, kPlimFileDesc},
    {"image/plim", "", nullptr, kPlimFileDesc},
    {"image/x-qw88", "qw88,qw8", "qw88 qw8", kObsoleteDesc},
    {"image/qw88", nullptr, nullptr, kObsoleteDesc},
    {"image/plimmo", nullptr, nullptr, kObsoleteDesc},
    {"image/x-plimmo", nullptr, nullptr, kObsoleteDesc},
    {"image/kz7", nullptr, nullptr, kObsoleteDesc},
    {"image/x-kz7", nullptr, nullptr, kObsoleteDesc},
}};

// Every type is an image type, so the filters pass over any other line after
// one comparison (a mailcap of a million lines is mostly other lines).
inline constexpr std::string_view kPluginTypePrefix = "image/";
static_assert(std::ranges::all_of(PluginMimeTypes, [](const PluginMimeType& row) {
  return std::string_view(row.type).starts_with(kPluginTypePrefix);
}));

}  // namespace plim
