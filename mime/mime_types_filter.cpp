#include "mime/mime_types_filter.h"

#include "core/blank.h"
#include "mime/line_filter.h"
#include "mime/plugin_mime_types.h"

namespace plim {

namespace {

constexpr std::string_view kTypeKey = "type=";

bool copy_below_header(FILE* in, FILE* out, bool (*is_entry)(std::string_view), Comments comments) {
  LineReader reader(in);
  LineWriter writer(out);
  writer.write(kBrowserMimeHeader);
  writer.write("\n");
  if (reader.next() && !reader.line().starts_with(kBrowserMimeHeader))
    reader.put_back();
  else
    while (!reader.ends_line() && reader.next()) continue;  // the rest of a long header line
  return copy_without_entries(reader, writer, is_entry, comments);
}

}  // namespace

bool is_system_mime_types_entry(std::string_view line) {
  if (!line.starts_with(kPluginTypePrefix)) return false;
  for (const PluginMimeType& row : PluginMimeTypes) {
    std::string_view type = row.type;
    if (line.size() > type.size() && is_blank(line[type.size()]) && line.starts_with(type)) return true;
  }
  return false;
}

bool is_personal_mime_types_entry(std::string_view line) {
  if (!line.starts_with(kTypeKey)) return false;
  std::string_view value = line.substr(kTypeKey.size());
  for (const PluginMimeType& row : PluginMimeTypes) {
    std::string_view type = row.type;
    // Long enough for the quoted form, so both tests below stay inside the line.
    if (line.size() <= type.size() + kTypeKey.size() + 1) continue;
    if (value.starts_with(type) && is_blank(value[type.size()])) return true;
    if (value[0] == '"' && value.substr(1).starts_with(type) && value[type.size() + 1] == '"') return true;
  }
  return false;
}

bool filter_system_mime_types(FILE* in, FILE* out) {
  return copy_below_header(in, out, is_system_mime_types_entry, Comments::kCopy);
}

bool filter_personal_mime_types(FILE* in, FILE* out) {
  return copy_below_header(in, out, is_personal_mime_types_entry, Comments::kGoWithEntry);
}

std::string system_mime_types_entries() {
  std::string entries;
  for (const PluginMimeType& row : PluginMimeTypes)
    if (row.suffixes) entries += row.type + std::string("\t") + row.suffixes + "\n";
  for (const PluginMimeType& row : PluginMimeTypes)
    if (!row.suffixes) entries += row.type + std::string("\n");
  return entries;
}

std::string personal_mime_types_entries() {
  std::string entries;
  // Rows without extensions come last and list none ("").
  for (bool with_exts : {true, false}) {
    for (const PluginMimeType& row : PluginMimeTypes) {
      if (bool(row.exts) != with_exts) continue;
      entries += kPersonalMimeMarker + std::string("\n") + std::string(kTypeKey) + row.type + " \\\ndesc=\"" +
                 row.desc + "\" \\\nexts=\"" + (row.exts ? row.exts : "") + "\"\n";
    }
  }
  return entries;
}

}  // namespace plim
