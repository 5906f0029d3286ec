// Feeds arbitrary bytes to the three mailcap and mime.types filters as the
// file an update meets. Beyond the sanitizers' own checks: the filters never
// fail on a readable input, and a second update of an updated file gives the
// same bytes (no line of the user's is swallowed or duplicated by the
// entries appended after it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string update(bool (*filter)(FILE*, FILE*), const std::string& input, const std::string& entries) {
  FILE* in = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  char* text = nullptr;
  std::size_t size = 0;
  FILE* out = ::open_memstream(&text, &size);
  check(in && out && filter(in, out));
  std::fclose(in);
  std::fclose(out);
  std::string written(text, size);
  std::free(text);
  return written + entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // fmemopen refuses an empty buffer; a file of one line end stands in.
  std::string input = size ? std::string(reinterpret_cast<const char*>(data), size) : "\n";
  const struct {
    bool (*filter)(FILE*, FILE*);
    std::string entries;
  } dialects[] = {
      {filter_mailcap, mailcap_entries("/opt/Fernhollow-Plim/NetscapePlugin")},
      {filter_system_mime_types, system_mime_types_entries()},
      {filter_personal_mime_types, personal_mime_types_entries()},
  };
  for (const auto& d : dialects) {
    std::string once = update(d.filter, input, d.entries);
    check(once == update(d.filter, once, d.entries));
  }
  return 0;
}
