// Feeds arbitrary bytes to the three mailcap and mime.types filters as the
// file an update meets. Beyond the sanitizers' own checks: the filters never
// fail on a readable input, and a second update of an updated file gives the
// same bytes (no line of the user's is swallowed or duplicated by the
// entries appended after it), and every plain line of the user's (no
// comment, no image type, not part of a continued entry) is still there.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"

using namespace plim;

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

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool continued(const std::string& line) { return !line.empty() && line.back() == '\\'; }

// Lines that no filter may drop: only the plug-in's entries, the comments
// held above them and the lines of continued entries may go.
void check_plain_lines_kept(const std::string& input, const std::string& output) {
  std::vector<std::string> in = lines_of(input), out = lines_of(output);
  std::set<std::string> kept(out.begin(), out.end());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const std::string& line = in[i];
    bool plain = !line.starts_with('#') && line.find("image/") == std::string::npos && !continued(line) &&
                 (i == 0 || !continued(in[i - 1]));
    if (plain) check(kept.count(line) == 1);
  }
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
    check_plain_lines_kept(input, once);
  }
  return 0;
}
