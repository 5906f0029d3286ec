#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"
#include "testing/test_support/scratch_dir.h"

// Each case is a file the update meets (testdata/NAME.in) and the lines it
// must keep of it (NAME.kept); the updated file is those lines followed by
// the dialect's nine entries (testdata/*_entries*.txt), byte for byte.
namespace {

const std::string kData = PLIM_SOURCE_DIR "/mime/testdata/";
const std::string kInstallDir = "/opt/Fernhollow-Plim/NetscapePlugin";

std::string data(const std::string& name) { return read_file(kData + name); }

// What `filter` writes for `input`, followed by `entries`, as the update
// writes a file.
std::string update(bool (*filter)(FILE*, FILE*), const std::string& input, const std::string& entries) {
  FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  char* text = nullptr;
  std::size_t size = 0;
  FILE* out = ::open_memstream(&text, &size);
  EXPECT_TRUE(filter(in, out));
  std::fclose(in);
  std::fclose(out);
  std::string written(text, size);
  std::free(text);
  return written + entries;
}

struct Case {
  const char* name;
  bool (*filter)(FILE*, FILE*);
  const char* input;
  const char* kept;
  const char* entries;
  std::optional<std::string> install_dir;
};

std::string entries_for(const Case& c) {
  if (c.filter == filter_mailcap) return mailcap_entries(c.install_dir);
  if (c.filter == filter_system_mime_types) return system_mime_types_entries();
  return personal_mime_types_entries();
}

TEST(MimeFilters, KeepTheUsersLinesAndAppendFreshEntriesOnce) {
  const Case cases[] = {
      {"mailcap, earlier installation", filter_mailcap, "mailcap_earlier_install.in",
       "mailcap_earlier_install.kept", "mailcap_entries.txt", kInstallDir},
      {"mailcap, edge cases", filter_mailcap, "mailcap_edge_cases.in", "mailcap_edge_cases.kept",
       "mailcap_entries.txt", kInstallDir},
      {"mailcap, empty, no install directory", filter_mailcap, "empty.in", "empty.kept",
       "mailcap_entries_bare.txt", std::nullopt},
      {"system, no header", filter_system_mime_types, "system_plain.in", "system_plain.kept",
       "system_entries.txt", std::nullopt},
      {"system, header", filter_system_mime_types, "system_header.in", "system_header.kept",
       "system_entries.txt", std::nullopt},
      {"system, a continued last line", filter_system_mime_types, "system_continued_end.in",
       "system_continued_end.kept", "system_entries.txt", std::nullopt},
      {"system, an entry without a line end", filter_system_mime_types, "system_unended.in",
       "system_unended.kept", "system_entries.txt", std::nullopt},
      {"system, empty", filter_system_mime_types, "empty.in", "header.kept", "system_entries.txt",
       std::nullopt},
      {"personal, quoted and unquoted", filter_personal_mime_types, "personal_quoted.in",
       "personal_quoted.kept", "personal_entries.txt", std::nullopt},
      {"personal, no header", filter_personal_mime_types, "personal_no_header.in",
       "personal_no_header.kept", "personal_entries.txt", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string expected = data(c.kept) + data(c.entries);
    std::string once = update(c.filter, data(c.input), entries_for(c));
    EXPECT_EQ(expected, once);
    EXPECT_EQ(once, update(c.filter, once, entries_for(c))) << "a second update changed the file";
  }
}

}  // namespace
