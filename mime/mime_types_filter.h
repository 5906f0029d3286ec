#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace plim {

// The two mime.types dialects: the system files ("type ext ext") and the
// browser's personal file (type=, desc= and exts= on continued lines). Both
// begin with the browser's header line, written once however often a file
// is updated.

inline constexpr std::string_view kBrowserMimeHeader =
    "#--Netscape Communications Corporation MIME Information";
static_assert(kBrowserMimeHeader.size() == 55);

inline constexpr char kPersonalMimeMarker[] = "#mime types added by Plim Install";

// A system line of one of the plug-in's types: the type, then white space.
bool is_system_mime_types_entry(std::string_view line);

// A personal line of one of the plug-in's types: "type=" and the type, then
// white space, or the type between double quotes.
bool is_personal_mime_types_entry(std::string_view line);

// Copy a mime.types file below the header line, without the plug-in's lines;
// an old header line at the top is not copied again. The personal filter
// drops the comment line directly above an entry with it; the system filter
// leaves comments alone. False when reading or writing failed.
bool filter_system_mime_types(FILE* in, FILE* out);
bool filter_personal_mime_types(FILE* in, FILE* out);

// The nine entries of each dialect.
std::string system_mime_types_entries();
std::string personal_mime_types_entries();

}  // namespace plim
