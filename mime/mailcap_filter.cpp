#include "mime/mailcap_filter.h"

#include "mime/line_filter.h"
#include "mime/plugin_mime_types.h"

namespace plim {

bool is_mailcap_entry(std::string_view line) {
  if (!line.starts_with(kPluginTypePrefix)) return false;
  for (const PluginMimeType& row : PluginMimeTypes) {
    std::string_view type = row.type;
    if (line.size() > type.size() && line[type.size()] == ';' && line.starts_with(type)) return true;
  }
  return false;
}

bool filter_mailcap(FILE* in, FILE* out) {
  LineReader reader(in);
  LineWriter writer(out);
  return copy_without_entries(reader, writer, is_mailcap_entry, Comments::kGoWithEntry);
}

std::string mailcap_entries(const std::optional<std::string>& install_dir) {
  std::string entries;
  for (const PluginMimeType& row : PluginMimeTypes) {
    if (!row.exts) continue;
    entries += kMailcapMarker + std::string("\n") + row.type + ";";
    if (install_dir) entries += *install_dir + "/plview %s";
    entries += ";\\\n\tx-mozilla-flags=plugin:Orvo Labs Plim\n";
  }
  for (const PluginMimeType& row : PluginMimeTypes) {
    if (row.exts) continue;
    entries += kMailcapMarker + std::string("\n") + row.type + ";;\\\n\tx-mozilla-flags=deleted\n";
  }
  return entries;
}

}  // namespace plim
