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
char body_byte(std::size_t i) { return "x\0y\\z"[i % 5]; }
std::string body(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = body_byte(i);
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

// The filter's input made as it is read, and its output compared as it is
// written: a line of any length costs the test itself no memory.
struct Stream {
  std::string head;  // then `body_size` bytes of body(), then `tail`
  std::size_t body_size;
  std::string tail;
  std::size_t at = 0;  // bytes read, or written and matched
  bool matched = true;

  std::size_t size() const { return head.size() + body_size + tail.size(); }
  // Bytes [at, at + n) of the stream, n at most kStreamBlock.
  std::string_view bytes(std::size_t n) const {
    static const std::string pattern = body(kStreamBlock + 5);
    thread_local std::string out;
    out.clear();
    for (std::size_t i = at; i < at + n && i < head.size(); ++i) out += head[i];
    std::size_t in_body = std::max(at, head.size()) - head.size();
    if (in_body < body_size && out.size() < n)
      out.append(pattern, in_body % 5, std::min(n - out.size(), body_size - in_body));
    for (std::size_t i = at + out.size(); out.size() < n; ++i) out += tail[i - head.size() - body_size];
    return out;
  }
};

ssize_t read_stream(void* cookie, char* buffer, std::size_t size) {
  Stream& stream = *static_cast<Stream*>(cookie);
  std::string_view made = stream.bytes(std::min({size, kStreamBlock, stream.size() - stream.at}));
  made.copy(buffer, made.size());
  stream.at += made.size();
  return static_cast<ssize_t>(made.size());
}

ssize_t match_stream(void* cookie, const char* buffer, std::size_t size) {
  Stream& stream = *static_cast<Stream*>(cookie);
  for (std::size_t done = 0; done < size && stream.matched;) {
    std::size_t n = std::min({size - done, kStreamBlock, stream.size() - stream.at});
    stream.matched = n > 0 && stream.bytes(n) == std::string_view(buffer + done, n);
    stream.at += n;
    done += n;
  }
  return static_cast<ssize_t>(size);
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

TEST(MimeFilters, HoldOnlyThePieceOfALineTheyLookAt) {
  // 24 MiB and a byte, more than the 16 MiB the test may grow by: the line
  // ends in "z", not in a backslash that would continue it into the entries.
  constexpr std::size_t kLine = (std::size_t{24} << 20) + 1;
  Captured run = capture_in_child([] {
    Stream met{"text/a; less\nimage/y;", kLine, ""};
    Stream written{met.head, kLine, "\n"};
    limit_data_growth(std::size_t{16} << 20);
    FILE* in = ::fopencookie(&met, "r", {read_stream, nullptr, nullptr, nullptr});
    FILE* out = ::fopencookie(&written, "w", {nullptr, match_stream, nullptr, nullptr});
    bool filtered = filter_mailcap(in, out);
    std::fclose(in);
    std::fclose(out);
    std::printf("filtered=%d matched=%d whole=%d\n", filtered, written.matched, written.at == written.size());
  });
  EXPECT_EQ(run.out, "filtered=1 matched=1 whole=1\n") << run.err;
}

}  // namespace

}  // namespace plim
