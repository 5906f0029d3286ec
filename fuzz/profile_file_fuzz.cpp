// Feeds arbitrary bytes to the profile file reader, then reads back what it
// stored through the configuration interface. Two properties are checked
// beyond the sanitizers' own: the reader's result does not depend on how its
// input is cut into blocks, and everything read back is consistent (line
// numbers within the file, flags and numbers as their values say).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/empty_search_directories.h"
#include "profile/byte_source.h"
#include "profile/profile_config.h"
#include "profile/profile_reader.h"

using namespace profile;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The pieces of a configuration object that the reader fills, standing alone,
// set up as a fresh object has them: the status column, global and the
// profile being read.
struct StandaloneStore {
  NameIndex option_names;
  NameIndex profile_names;
  ProfileTable profiles;
  MessageQueue messages;
  std::string file_path = "fuzz.conf";
  int line = 1;

  StandaloneStore() {
    option_names.intern_name("profile:");
    profile_names.intern_name("global");
    profile_names.intern_name("fuzz");
    profiles.ensure_rows(2);
  }

  void read(std::string_view text, std::size_t block_size) {
    std::istringstream in{std::string(text)};
    StreamByteSource source(in, block_size);
    ProfileStore store{option_names, profile_names, profiles, messages, &file_path, 0};
    read_profile_file(source, line, 1, store);
  }

  std::vector<std::string> take_messages() {
    std::vector<std::string> taken;
    while (const char* message = messages.pop_message()) taken.emplace_back(message);
    return taken;
  }
};

bool same_names(const NameIndex& a, const NameIndex& b) {
  if (a.count() != b.count()) return false;
  for (int n = 0; n < a.count(); ++n) {
    if (std::strcmp(a.name_at(n), b.name_at(n)) != 0) return false;
  }
  return true;
}

bool same_values(const StandaloneStore& a, const StandaloneStore& b) {
  if (a.profiles.row_count() != b.profiles.row_count()) return false;
  for (int row = 0; row < a.profiles.row_count(); ++row) {
    for (int column = 0; column < a.option_names.count(); ++column) {
      const std::string* x = a.profiles.get(row, column);
      const std::string* y = b.profiles.get(row, column);
      if ((x == nullptr) != (y == nullptr) || (x && *x != *y)) return false;
    }
  }
  return true;
}

// Whole blocks against one byte at a time and an odd size: runs of plain
// text that stop at a block's end must not change what is read.
void check_block_size_independence(std::string_view text) {
  StandaloneStore whole, bytes, odd;
  whole.read(text, ByteSource::default_block_size);
  bytes.read(text, 1);
  odd.read(text, 7);
  std::vector<std::string> messages = whole.take_messages();
  for (StandaloneStore* other : {&bytes, &odd}) {
    check(other->line == whole.line);
    check(same_names(other->option_names, whole.option_names));
    check(same_names(other->profile_names, whole.profile_names));
    check(same_values(*other, whole));
    check(other->take_messages() == messages);
  }
}

std::size_t count_line_breaks(std::string_view text) {
  std::size_t breaks = 0;
  for (char c : text) breaks += c == '\n';
  return breaks;
}

// Every message names the file and a line that the file has.
void check_message(std::string_view message, std::string_view file_path, int last_line) {
  std::string head = std::string(file_path) + ":Error in line ";
  check(message.substr(0, head.size()) == head);
  long line = std::strtol(message.data() + head.size(), nullptr, 10);
  check(line >= 1 && line <= last_line);
}

void check_value_access(ProfileConfig& config) {
  for (int column = 0; column < config.option_names().count(); ++column) {
    std::string name = config.option_names().name_at(column);
    const char* value = config.get_string(name);
    int flag = config.get_flag(name, 12345);
    int number = config.get_number(name, -777);
    if (value == nullptr) {
      check(flag == 12345 && number == -777);
      continue;
    }
    if (value[0] == 'T' || value[0] == 't') check(flag == 1);
    if (value[0] == '\0' || value[0] == 'F' || value[0] == 'f') check(flag == 0);
  }
  // "'<up to 10 characters>' is not a number"
  while (const char* message = config.next_message()) {
    std::string_view text(message);
    check(text.size() <= 10 + std::strlen("'' is not a number"));
    check(text.ends_with("' is not a number"));
  }
}

void read_through_configuration(std::string_view text) {
  ProfileConfigPtr config(ProfileConfig::create("fuzz"));
  check(!config->has_messages());  // the search directories are empty
  std::istringstream in{std::string(text)};
  int line = 1;
  config->read_profile_file(in, line, config->own_profile());
  // Reading may end early, at a section header of a profile already read.
  check(line >= 1 && static_cast<std::size_t>(line) <= 1 + count_line_breaks(text));
  std::string file_path = config->file_path() ? config->file_path() : "(null)";
  while (const char* message = config->next_message()) check_message(message, file_path, line);

  check_value_access(*config);
  // Each profile the file declared, as the own profile; none is read again
  // (they are all known), so the search directories stay untouched.
  std::vector<std::string> profiles;
  for (int n = 0; n < config->profile_names().count(); ++n) {
    profiles.emplace_back(config->profile_names().name_at(n));
  }
  for (const std::string& profile : profiles) {
    config->select_profile(profile);
    check_value_access(*config);
  }
  check(config->profile_names().count() == static_cast<int>(profiles.size()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  use_empty_search_directories();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  check_block_size_independence(text);
  read_through_configuration(text);
  return 0;
}
