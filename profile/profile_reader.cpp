#include "profile/profile_reader.h"

#include "profile/text_rules.h"

#include <array>
#include <climits>
#include <optional>
#include <string_view>

namespace profile {

namespace {

constexpr int end_of_file = ByteSource::end_of_file;

constexpr bool is_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr bool is_name_character(int c) { return is_letter(c) || (c >= '0' && c <= '9') || c == '-'; }

// A table of the bytes that a run may hold: every byte except those given.
constexpr std::array<bool, 256> all_but(std::string_view excluded) {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = true;
  for (char c : excluded) table[static_cast<unsigned char>(c)] = false;
  table[0] = false;  // NUL is never plain text inside an entry
  return table;
}

constexpr std::array<bool, 256> name_run = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = is_name_character(c);
  return table;
}();
constexpr std::array<bool, 256> unquoted_run = all_but(" \t\r\"'\\#\n");
constexpr std::array<bool, 256> single_quoted_run = all_but("'\r\n");
constexpr std::array<bool, 256> double_quoted_run = all_but("\"\r\n\\");
constexpr std::array<bool, 256> line_run = all_but("\n");
// What a value may hold and still be read straight from the block: single
// spaces between its characters stay as they are.
constexpr std::array<bool, 256> plain_value_run = all_but("\t\r\"'\\#\n");

// Messages print their texts as "%s" does: up to the first NUL byte.
std::string_view as_c_text(std::string_view text) {
  std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

enum class TextEnd {
  kLineBreak,  // the line break is consumed and counted
  kComment,    // the "#" is left to be read between entries
  kFileEnd,
  kFileEndInQuote,
};

class ProfileReader {
 public:
  ProfileReader(ByteSource& file, int& line, int row, const ProfileStore& store)
      : file_(file), line_(line), current_(row), store_(store) {}

  void read() {
    for (;;) {
      int c = file_.next();
      if (c == end_of_file) return;
      if (is_blank(c)) {
        if (c == '\n') count_line();
        continue;
      }
      bool go_on = c == '#' ? skip_comment() : read_entry(c);
      if (!go_on) return;
    }
  }

 private:
  // A file of more than INT_MAX line breaks is possible (a stream has no
  // end); its later lines are all reported as line INT_MAX rather than
  // letting the count overflow.
  void count_line() {
    if (line_ < INT_MAX) ++line_;
  }

  // NUL bytes inside an entry are ignored.
  int next_in_entry() {
    int c;
    do c = file_.next();
    while (c == 0);
    return c;
  }

  bool skip_comment() {
    for (;;) {
      file_.take_run(line_run);
      int c = file_.next();
      if (c == end_of_file) return false;
      if (c == '\n') {
        count_line();
        return true;
      }
    }
  }

  // Reads the entry that begins with first; false when reading ends.
  bool read_entry(int first) {
    entry_line_ = line_;
    text_.clear();
    if (!is_letter(first)) {
      // An entry without a name: its first character is taken literally.
      text_.push_back(static_cast<char>(first));
      return finish_malformed(read_text());
    }
    name_.assign(1, static_cast<char>(first));
    int c;
    for (;;) {
      name_.append(file_.take_run(name_run));
      c = next_in_entry();
      if (!is_name_character(c)) break;
      name_.push_back(static_cast<char>(c));
    }
    while (is_blank(c)) {
      if (c == '\n') count_line();
      c = next_in_entry();
    }
    if (c == end_of_file) return false;  // a bare name cut off by the end: dropped
    if (c == ':') return read_section_header();
    if (c == '=') return read_value_entry();
    // Malformed: the skipped blanks are lost, c is read again as text.
    file_.unget();
    text_ = name_;
    return finish_malformed(read_text());
  }

  bool read_value_entry() {
    int c;
    do c = next_in_entry();
    while (is_blank(c) && c != '\n');
    if (c == end_of_file) {
      report_malformed(name_);
      return false;
    }
    file_.unget();
    int column = store_.option_names.intern_name(name_);
    if (std::optional<std::string_view> value = take_plain_value()) {
      store_.profiles.set_value(current_, column, *value);
      return true;
    }
    TextEnd end = read_text();
    if (end == TextEnd::kFileEndInQuote) {
      report_malformed(name_ + "=" + text_);
      return false;
    }
    store_.profiles.set_value(current_, column, text_);
    return end == TextEnd::kLineBreak || end == TextEnd::kComment;
  }

  // Most values are plain text up to the line break: no quote, escape,
  // comment, tab, carriage return, NUL or run of spaces, and no space at the
  // end. Such a value is its own text, so it is taken from the block as it
  // stands, with its line break. Anything else, or a line that goes on past
  // the block, is left unread for read_text.
  std::optional<std::string_view> take_plain_value() {
    std::string_view rest = file_.buffered();
    std::size_t size = 0;
    for (; size < rest.size(); ++size) {
      char c = rest[size];
      if (!plain_value_run[static_cast<unsigned char>(c)]) break;
      if (c == ' ' && size > 0 && rest[size - 1] == ' ') return std::nullopt;
    }
    if (size == rest.size() || rest[size] != '\n') return std::nullopt;
    if (size > 0 && rest[size - 1] == ' ') return std::nullopt;
    file_.skip(size + 1);
    count_line();
    return rest.substr(0, size);
  }

  bool finish_malformed(TextEnd end) {
    if (end == TextEnd::kFileEnd || end == TextEnd::kFileEndInQuote) {
      return false;  // cut off by the end of the file: dropped silently
    }
    report_malformed(text_);
    return true;
  }

  // Collects an entry's text in the unquoted state, into text_.
  TextEnd read_text() {
    // run_open: the last character appended is a blank-rule space, so further
    // blanks add nothing; a quoted part closes the run. ends_in_rule_space
    // tells whether the text's last character is such a space.
    bool run_open = false;
    bool ends_in_rule_space = false;
    auto append = [&](char c) {
      text_.push_back(c);
      run_open = false;
      ends_in_rule_space = false;
    };
    auto finish = [&] {
      if (ends_in_rule_space) text_.pop_back();
    };
    for (;;) {
      std::string_view plain = file_.take_run(unquoted_run);
      if (!plain.empty()) {
        text_.append(plain);
        run_open = false;
        ends_in_rule_space = false;
      }
      int c = file_.next();
      switch (c) {
        case end_of_file:
          finish();
          return TextEnd::kFileEnd;
        case 0:
        case '\r':
          break;
        case ' ':
        case '\t':
          if (!run_open) {
            text_.push_back(' ');
            run_open = true;
            ends_in_rule_space = true;
          }
          break;
        case '"':
        case '\'': {
          std::size_t before = text_.size();
          bool closed = c == '"' ? read_double_quoted() : read_single_quoted();
          if (!closed) return TextEnd::kFileEndInQuote;
          run_open = false;
          if (text_.size() != before) ends_in_rule_space = false;
          break;
        }
        case '\\': {
          int escaped = read_escape();
          if (escaped != end_of_file && escaped != '\n') append(static_cast<char>(escaped));
          break;
        }
        case '#':
          file_.unget();
          finish();
          return TextEnd::kComment;
        case '\n':
          count_line();
          finish();
          return TextEnd::kLineBreak;
        default:
          append(static_cast<char>(c));
      }
    }
  }

  // Both give false when the file ends before the closing quote.
  bool read_single_quoted() {
    for (;;) {
      text_.append(file_.take_run(single_quoted_run));
      int c = file_.next();
      if (c == end_of_file) return false;
      if (c == '\'') return true;
      if (c == '\n') count_line();
      // NUL and carriage return are dropped; other bytes come here only at
      // the end of a block.
      if (c != 0 && c != '\r') text_.push_back(static_cast<char>(c));
    }
  }

  bool read_double_quoted() {
    for (;;) {
      text_.append(file_.take_run(double_quoted_run));
      int c = file_.next();
      if (c == end_of_file) return false;
      if (c == '"') return true;
      if (c == '\\') {
        int escaped = read_escape();
        if (escaped != end_of_file) text_.push_back(static_cast<char>(escaped));
      } else if (c != 0 && c != '\r') {
        if (c == '\n') count_line();
        text_.push_back(static_cast<char>(c));
      }
    }
  }

  // The character that the escape after a backslash gives, or end_of_file.
  int read_escape() {
    for (;;) {
      int c = file_.next();
      switch (c) {
        case end_of_file:
          return end_of_file;
        case 0:
        case '\r':
          continue;
        case 'a':
          return 7;
        case 'b':
          return 8;
        case 'f':
          return 12;
        case 'n':
          return 10;
        case 'r':
          return 13;
        case 't':
          return 9;
        case 'v':
          return 11;
        case '\n':
          count_line();
          return '\n';
        case '1':
        case '2':
        case '3':
          return read_octal(c - '0', 2);
        case '4':
        case '5':
        case '6':
        case '7':
          return read_octal(c - '0', 1);
        default:
          return c;
      }
    }
  }

  // Reads at most more further octal digits; a character that ends the
  // escape early is left to be read as ordinary input.
  int read_octal(int value, int more) {
    for (; more > 0; --more) {
      int c = next_in_entry();
      if (c < '0' || c > '7') {
        if (c != end_of_file) file_.unget();
        break;
      }
      value = value * 8 + (c - '0');
    }
    return value;
  }

  // After "name:": reads the parent list and makes the section current.
  bool read_section_header() {
    parents_.clear();
    bool file_ended = false;
    int header_line = line_;
    for (;;) {
      parents_.append(file_.take_run(line_run));
      int c = file_.next();
      if (c == end_of_file) {
        file_ended = true;
        break;
      }
      if (c == '\n') {
        header_line = line_;
        count_line();
        break;
      }
      if (c != 0) parents_.push_back(static_cast<char>(c));  // NUL is ignored
    }
    if (file_ended) header_line = line_;

    NameIndex& profile_names = store_.profile_names;
    int known = profile_names.find_name(name_);
    if (known >= 1) {
      const std::string* status = store_.profiles.get(known, store_.status_column);
      // A profile already read is not read again; global is the exception.
      if (status != nullptr && *status == "read") return false;
    }
    int section = profile_names.intern_name(name_);
    store_.profiles.ensure_rows(section + 1);
    store_.profiles.set_value(section, store_.status_column, "read");
    inherit_parents(section, header_line);
    current_ = section;
    return !file_ended;
  }

  void inherit_parents(int section, int header_line) {
    std::string_view list = parents_;
    std::size_t at = 0;
    while (at < list.size()) {
      while (at < list.size() && is_blank(static_cast<unsigned char>(list[at]))) ++at;
      std::size_t end = at;
      while (end < list.size() && !is_blank(static_cast<unsigned char>(list[end]))) ++end;
      if (end == at) break;
      std::string_view parent_name = list.substr(at, end - at);
      at = end;
      int parent = store_.profile_names.find_name(parent_name);
      if (parent < 0) {
        report_unknown_parent(parent_name, header_line);
        continue;
      }
      if (parent == section || parent >= store_.profiles.row_count()) continue;
      const ValueRow& from = store_.profiles.row(parent);
      ValueRow& to = store_.profiles.row(section);
      for (int column = 0; column < from.count(); ++column) {
        if (const std::string* value = from.get(column)) to.set_value(column, *value);
      }
    }
  }

  std::string_view file_path() const {
    return store_.file_path ? std::string_view(*store_.file_path) : "(null)";
  }

  std::string_view current_profile_name() const {
    const char* name = store_.profile_names.name_at(current_);
    return name ? name : "(null)";
  }

  void report_malformed(std::string_view text) {
    text = as_c_text(text);
    std::string message(file_path());
    message += ":Error in line ";
    message += std::to_string(entry_line_);
    message += " of profile '";
    message += current_profile_name();
    message += text.find(':') != std::string_view::npos ? "'\n\t--> Illegal profile name '" : "'\n\t--> ";
    message += text;
    if (text.find(':') != std::string_view::npos) message += "'";
    store_.messages.push_message(std::move(message));
  }

  void report_unknown_parent(std::string_view parent, int header_line) {
    std::string message(file_path());
    message += ":Error in line ";
    message += std::to_string(header_line);
    message += " of '";
    message += name_;
    message += "'\n\t--> can not inherit unknown profile '";
    message += parent;
    message += "'";
    store_.messages.push_message(std::move(message));
  }

  ByteSource& file_;
  int& line_;
  int current_;
  const ProfileStore& store_;
  int entry_line_ = 0;
  std::string name_;
  std::string text_;
  std::string parents_;
};

}  // namespace

void read_profile_file(ByteSource& file, int& line, int row, const ProfileStore& store) {
  store.profiles.ensure_rows(row + 1);
  ProfileReader(file, line, row, store).read();
}

}  // namespace profile
