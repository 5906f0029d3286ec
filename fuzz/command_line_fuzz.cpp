// Splits the input at NUL bytes into a command line (the first piece is the
// program's name) and scans it against a table with every kind of option,
// then asks which option of the table was given and drains the messages.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/empty_search_directories.h"
#include "fuzz/split_at_nul.h"
#include "profile/profile_config.h"

using namespace profile;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// All four kinds, long-only options, a duplicate letter (the first entry
// wins), a letter above 127, a name that begins another, and an empty name
// that is recognised but stores nothing.
const OptionSpec options[] = {
    {"prefix", 1, nullptr, 'p'}, {"quiet", 0, nullptr, 'v'}, {"level", 2, nullptr, 'l'},
    {"define", 3, nullptr, 'D'}, {"config", 1, nullptr, 0},  {"verbose", 0, nullptr, 256},
    {"pre", 2, nullptr, -1},     {"again", 1, nullptr, 'p'}, {"eight-bit", 0, nullptr, 0xE9},
    {"", 2, nullptr, 'x'},       {nullptr, 0, nullptr, 0},
};
// Every named option of the table, for first_given.
const char* const option_list[] = {"prefix",  "quiet", "level", "define",    "config",
                                   "verbose", "pre",   "again", "eight-bit", nullptr};

// A stored value is "TRUE" or the end of one of the arguments: the scanner
// hands out pointers into the command line and never builds text itself.
bool comes_from_command_line(std::string_view value, const std::vector<std::string>& words) {
  if (value == "TRUE") return true;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (std::string_view(words[i]).ends_with(value)) return true;
  }
  return false;
}

bool is_scan_message(std::string_view message) {
  return message.starts_with("Unrecognized option '") || message.starts_with("Unrecognized option -") ||
         message.starts_with("Argument required for --");
}

void check_scan(ProfileConfig& config, const std::vector<std::string>& words, int result) {
  int count = static_cast<int>(words.size());
  check(result >= 1 && result <= count);
  check(config.first_operand() == result);
  check(config.argument_count() == count);
  for (int i = 0; i < count; ++i) check(config.argument(i) == words[i]);

  bool any_given = false;
  for (const OptionSpec* entry = options; entry->name; ++entry) {
    if (entry->name[0] == '\0') continue;
    const char* value = config.get_string(entry->name);
    if (value == nullptr) continue;
    any_given = true;
    check(comes_from_command_line(value, words));
    if (entry->arg_kind == 0) check(std::strcmp(value, "TRUE") == 0);
  }

  // A scan ends at its first error, so it leaves at most one message; without
  // one it stopped at an operand, after "--", or at the end.
  int scan_messages = 0;
  while (const char* message = config.next_message()) {
    check(is_scan_message(message));
    check(std::strlen(message) <= 1024 + std::strlen("Unrecognized option ''"));
    ++scan_messages;
  }
  check(scan_messages <= 1);
  if (scan_messages == 0 && result < count) {
    const std::string& stop = words[result];
    check(stop.empty() || stop[0] != '-' || stop == "-" || words[result - 1] == "--");
  }

  // The profiles are empty, so only the command line can give an option.
  int first = config.first_given(option_list, false);
  check(first >= -1 && first < static_cast<int>(std::size(option_list)) - 1);
  check((first >= 0) == any_given);
  int first_true = config.first_given(option_list, true);
  check(first_true >= -1 && first_true < static_cast<int>(std::size(option_list)) - 1);
  while (const char* message = config.next_message()) {
    check(std::string_view(message).starts_with("Ambiguous options: '"));
  }
  for (const OptionSpec* entry = options; entry->name; ++entry) {
    config.get_flag(entry->name, 0);
    config.get_number(entry->name, 0);
  }
  config.clear_messages();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  use_empty_search_directories();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words = split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  argv.push_back(nullptr);

  ProfileConfigPtr config(ProfileConfig::create("prog"));
  int count = static_cast<int>(words.size());
  int result = config->parse_options(count, argv.data(), options);
  check_scan(*config, words, result);

  // A clone sees none of its source's command-line values; a scan into it
  // stores its own.
  ProfileConfigPtr second(ProfileConfig::clone(config.get()));
  check(second->first_given(option_list, false) == -1);
  result = second->parse_options(count, argv.data(), options);
  check_scan(*second, words, result);
  return 0;
}
