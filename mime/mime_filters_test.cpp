#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"
#include "testing/test_support/unit_test.h"

// Each case of testdata/updates.table is a file the update meets and the
// lines it must keep of it; the updated file is those lines followed by the
// dialect's nine entries.
namespace {

std::string data(const std::string& name) { return read_file(PLIM_SOURCE_DIR "/mime/testdata/" + name); }

// What the dialect's update writes over `input`.
std::string update(const std::string& dialect, const std::string& input) {
  auto filter = dialect.starts_with("mailcap") ? filter_mailcap
                : dialect == "system"          ? filter_system_mime_types
                                               : filter_personal_mime_types;
  FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  char* text = nullptr;
  std::size_t size = 0;
  FILE* out = ::open_memstream(&text, &size);
  bool filtered = filter(in, out);
  std::fclose(in);
  std::fclose(out);
  std::string written(text, size);
  std::free(text);
  if (!filtered) return "the filter failed";
  if (dialect == "mailcap") return written + mailcap_entries("/opt/Fernhollow-Plim/NetscapePlugin");
  if (dialect == "mailcap bare") return written + mailcap_entries(std::nullopt);
  return written + (dialect == "system" ? system_mime_types_entries() : personal_mime_types_entries());
}

TEST(MimeFilters, KeepTheUsersLinesAndAppendFreshEntriesOnce) {
  expect_table("mime/testdata/updates.table", [](const std::vector<std::string>& f) {
    std::string once = update(f[0], data(f[1]));
    EXPECT_EQ(data(f[2]) + data(f[3]), once) << f[1];
    if (once != data(f[2]) + data(f[3])) return "other lines (see above)";
    return update(f[0], once) == once ? "as expected" : "a second update changed the file";
  });
}

}  // namespace
