#include <sys/resource.h>

#include <fstream>

#include "mime/line_filter.h"
#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"
#include "testing/test_support/unit_test.h"

namespace plim {

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

// Bytes of every kind a line may hold (a NUL, a backslash) except its end.
std::string body(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = "x\0y\\z"[i % 5];
  return text;
}

// `start` followed by filler up to `length` bytes, then `end`: with length a
// multiple of kLongestHeldLine, a backslash as the last byte before the line
// end falls on the border of two pieces.
std::string line_of(const std::string& start, std::size_t length, const std::string& end) {
  return start + body(length - start.size()) + end;
}

TEST(MimeFilters, JudgeLongLinesByTheirStartAndCopyThemWhole) {
  const std::size_t held = kLongestHeldLine;
  const std::string header = std::string(kBrowserMimeHeader) + "\n";
  const std::string user_line = line_of("text/a;", 3 * held + 5, "\\\n");
  const std::string user_at_border = line_of("text/a;", held - 1, "\\\n");
  struct Row {
    const char* what;
    std::string dialect, met, kept;
  };
  const Row rows[] = {
      {"a long line continued into an entry-like line", "mailcap", user_line + "image/x-plim;x\n",
       user_line + "image/x-plim;x\n"},
      {"the same with the backslash at a piece's end", "mailcap", user_at_border + "image/x-plim;x\n",
       user_at_border + "image/x-plim;x\n"},
      {"a long entry and its continuation", "mailcap",
       "a/b;c\n" + line_of("image/x-plim;", 3 * held, "\\\n\tx\n"), "a/b;c\n"},
      {"an entry whose backslash ends its first piece", "mailcap",
       line_of("image/x-plim;", held - 1, "\\\n") + "\tx\nd/e;f\n", "d/e;f\n"},
      // A comment too long to hold back cannot be one of ours: it stays.
      {"a long comment above an entry", "mailcap", "#" + body(2 * held) + "\nimage/x-plim;x\n",
       "#" + body(2 * held) + "\n"},
      {"a long last line without its line end", "mailcap", "text/a;" + body(3 * held),
       "text/a;" + body(3 * held) + "\n"},
      {"a long header line", "personal", line_of(std::string(kBrowserMimeHeader), 2 * held, "\ntype=a/b\n"),
       header + "type=a/b\n"},
      {"a long personal entry and its continuation", "personal",
       line_of("type=image/x-plim ", 2 * held, " \\\ndesc=\"x\"\n") + "type=a/b\n", header + "type=a/b\n"},
  };
  for (const Row& row : rows) {
    std::string entries = data(row.dialect == "mailcap" ? "mailcap_entries.txt" : "personal_entries.txt");
    std::string once = update(row.dialect, row.met);
    EXPECT_TRUE(once == row.kept + entries) << row.what;
    EXPECT_TRUE(update(row.dialect, once) == once) << row.what << ": a second update changed the file";
  }
}

// Lets the process's data grow by at most `bytes` from here on.
void limit_data_growth(std::size_t bytes) {
  std::ifstream status("/proc/self/status");
  std::string line;
  std::size_t data_kib = 0;
  while (std::getline(status, line))
    if (line.starts_with("VmData:")) data_kib = std::stoul(line.substr(7));
  struct rlimit limit;
  ::getrlimit(RLIMIT_DATA, &limit);
  limit.rlim_cur = data_kib * 1024 + bytes;
  ::setrlimit(RLIMIT_DATA, &limit);
}

// The filter reads its input from a pipeline that makes it and writes to
// cmp, which compares it with the same made again: a line of any length
// costs the test itself no memory. The line, made of body()'s bytes, is
// 24 MiB and a byte, more than the 16 MiB the test may grow by; it ends in
// "z", not in a backslash that would continue it into the entries.
TEST(MimeFilters, HoldOnlyThePieceOfALineTheyLookAt) {
  ScratchDir dir;
  write_file(dir / "made",
             "printf 'text/a; less\\nimage/y;'\n"
             "yes 'x y\\z' | tr -d '\\n' | tr ' ' '\\0' | head -c 25165825\n");
  Captured run = capture_in_child([&] {
    limit_data_growth(std::size_t{16} << 20);
    FILE* in = ::popen(("sh " + dir / "made").c_str(), "r");
    FILE* out = ::popen(("exec 3<&0; { sh " + dir / "made" + "; echo; } | cmp -s /dev/fd/3 -").c_str(), "w");
    bool filtered = filter_mailcap(in, out);
    int made = ::pclose(in), compared = ::pclose(out);
    std::printf("filtered=%d made=%d compared=%d\n", filtered, made, compared);
  });
  // compared=0: cmp found the output the same bytes, the line and its end.
  EXPECT_EQ(run.out, "filtered=1 made=0 compared=0\n") << run.err;
}

}  // namespace

}  // namespace plim
