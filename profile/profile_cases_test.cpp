// Runs the profile cases in profile/testdata/*.case (see check_transcript in
// profile_fixture.h); PLIM_UPDATE_TESTDATA=1 rewrites their transcripts.
// $TMP in a word is the scratch directory. The commands:
//
//   system NAME TEXT, personal NAME TEXT   write NAME.conf in $TMP/etc/, $TMP/home/.Plim/
//   file PATH TEXT          writes $TMP/PATH
//   env VAR [VALUE]         sets (or unsets) VAR; forget: the library looks again
//   options NAME,KIND,LETTER...   the option table of parse and scan
//   scan WORD...            parses the words into a fresh object of "prog"
//   choose_home HOME PASSWORD_HOME, choose_system DIR   the rules, "-" for none
//   create OBJ NAME, create_from_file OBJ PATH PROFILE, clone OBJ SOURCE, destroy OBJ
//   METHOD OBJ ARG...       get_string, get_flag, get_number, select_profile,
//                           load_profile, merge_file, parse, resolve_value
//   path OBJ NAME WHERE     profile_file_path
//   read OBJ TEXT           read_profile_file into the own profile from line 1
//   first_given OBJ names|columns|until_negative true|false ITEM...
//   state OBJ               names, rows, file path, sharing and arguments
//
// After an object's command come every profile value that changed, as
// PROFILE.OPTION = VALUE (or unset), and every pending message. Every text
// read is also read alone in blocks of 1, 2, 3 and 7 bytes, which keep the
// reader off its shortcuts for whole lines in a block: each must read as the
// whole block does.
#include <pwd.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <span>

#include "profile/profile_reader.h"
#include "testing/test_support/profile_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string text_or_none(const char* text) { return text ? visible(text) : "none"; }
std::string text_or_none(const std::string* text) { return text ? visible(*text) : "none"; }
const char* none_for_dash(const std::string& word) { return word == "-" ? nullptr : word.c_str(); }

std::string name_text(std::string_view name) {
  bool plain = !name.empty() && name.size() < 40 &&
               name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_:-") ==
                   std::string_view::npos;
  return plain ? std::string(name) : visible(name);
}

// Every value of every profile config sees, by row and column.
using Values = std::map<std::pair<int, int>, std::string>;
Values values_of(const ProfileConfig* config) {
  Values values;
  for (int row = 0; config && row < config->profile_names().count(); ++row) {
    for (int column = 0; column < config->option_names().count(); ++column) {
      if (const std::string* value = config->profile_value(row, column)) values[{row, column}] = *value;
    }
  }
  return values;
}

// What text reads as in a store of its own, in blocks of block_size: the
// line count, every value and every message.
std::string read_alone(const std::string& text, std::size_t block_size) {
  NameIndex option_names, profile_names;
  ProfileTable profiles;
  MessageQueue messages;
  const std::string path = "f";
  option_names.intern_name("profile:");
  profile_names.intern_name("global");
  profile_names.intern_name("own");
  std::istringstream in(text);
  StreamByteSource source(in, block_size);
  int line = 1;
  read_profile_file(source, line, 1, {option_names, profile_names, profiles, messages, &path, 0});
  std::string dump = std::to_string(line) + "\n";
  for (int row = 0; row < profiles.row_count(); ++row) {
    for (int column = 0; column < profiles.row(row).count(); ++column) {
      if (const std::string* value = profiles.get(row, column)) {
        dump += std::to_string(row) + " " + option_names.name_at(column) + "=" + *value + "\n";
      }
    }
  }
  while (const char* message = messages.pop_message()) dump += std::string(message) + "\n";
  return dump;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

class ProfileCases : public ProfileFilesTest, public ::testing::WithParamInterface<std::string> {
 protected:
  std::string run(const std::string& line) {
    out_.clear();
    words_ = case_words(line);
    for (std::string& word : words_) replace_all(word, "$TMP", temp_.path());
    const std::string& command = arg(0);
    if (command == "system" || command == "personal" || command == "file") {
      write_file(command == "system"     ? system_file(arg(1))
                 : command == "personal" ? personal_file(arg(1))
                                         : temp_.path() + "/" + arg(1),
                 arg(2));
      check_block_sizes(arg(2));
    } else if (command == "env") {
      words_.size() > 2 ? setenv(arg(1).c_str(), arg(2).c_str(), 1) : unsetenv(arg(1).c_str());
    } else if (command == "forget") {
      forget_search_directories_for_testing();
    } else if (command == "options") {
      set_options();
    } else if (command == "choose_home") {
      say(text_or_none(choose_home_directory(none_for_dash(arg(1)), none_for_dash(arg(2)))));
    } else if (command == "choose_system") {
      say(text_or_none(choose_system_directory(none_for_dash(arg(1)))));
    } else if (command == "scan") {
      ProfileConfigPtr config(ProfileConfig::create("prog"));
      parse(*config, 1);
      for (const OptionSpec& spec : options_) {
        const char* value = spec.name && *spec.name ? config->get_string(spec.name) : nullptr;
        if (value) say(std::string(spec.name) + " = " + visible(value));
      }
      say_messages(*config);
    } else {
      ProfileConfigPtr& config = objects_[arg(1)];
      if (command.starts_with("create") || command == "clone") config.reset();
      Values before = values_of(config.get());
      object_command(config);
      if (!config) return out_;
      Values after = values_of(config.get());
      for (const auto& [at, value] : after) {
        auto old = before.find(at);
        if (old == before.end() || old->second != value) say(key(*config, at) + " = " + visible(value));
      }
      for (const auto& [at, value] : before) {
        if (!after.contains(at)) say(key(*config, at) + " unset");
      }
      say_messages(*config);
    }
    return out_;
  }

  void object_command(ProfileConfigPtr& config) {
    const std::string& command = arg(0);
    if (command == "create") {
      config.reset(ProfileConfig::create(arg(2)));
    } else if (command == "create_from_file") {
      config.reset(ProfileConfig::create_from_file(arg(2), arg(3)));
    } else if (command == "clone") {
      config.reset(ProfileConfig::clone(objects_.at(arg(2)).get()));
    } else if (command == "destroy") {
      config.reset();
    } else if (command == "get_string") {
      say(text_or_none(config->get_string(arg(2))));
    } else if (command == "get_flag") {
      say(std::to_string(config->get_flag(arg(2), std::stoi(arg(3)))));
    } else if (command == "get_number") {
      say(std::to_string(config->get_number(arg(2), std::stoi(arg(3)))));
    } else if (command == "select_profile") {
      bool found = config->select_profile(arg(2));
      say(std::string(found ? "found" : "not found") + ", profile " + name_text(config->profile_name()));
    } else if (command == "load_profile") {
      say("row " + std::to_string(config->load_profile(arg(2))));
    } else if (command == "merge_file") {
      config->merge_file(arg(2), arg(3));
    } else if (command == "path") {
      const char* path = config->profile_file_path(arg(2), std::stoi(arg(3)));
      const passwd* entry = getpwuid(getuid());
      say(path && entry && path == std::string_view(entry->pw_dir) ? "$PASSWORD_HOME" : text_or_none(path));
    } else if (command == "read") {
      check_block_sizes(arg(2));
      std::istringstream in(arg(2));
      int line_number = 1;
      config->read_profile_file(in, line_number, config->own_profile());
      say("lines " + std::to_string(line_number));
    } else if (command == "parse") {
      parse(*config, 2);
    } else if (command == "resolve_value") {
      say(text_or_none(config->resolve_value(std::stoi(arg(2)))));
    } else if (command == "first_given") {
      say(std::to_string(first_given(*config)));
    } else if (command == "state") {
      say("profile " + name_text(config->profile_name()) + ", own row " + std::to_string(config->own_profile()) +
          ", file " + text_or_none(config->file_path()) + ", shares " + std::to_string(config->share_count()) +
          ", arguments " + std::to_string(config->argument_count()));
    } else {
      ADD_FAILURE() << "unknown command: " << command;
    }
  }

  // Options: NAME,KIND,LETTER with a letter of one character or its number.
  void set_options() {
    options_.clear();
    const std::vector<std::string>& specs = words_;
    for (std::size_t n = 1; n < specs.size(); ++n) {
      std::size_t first = specs[n].find(','), second = specs[n].find(',', first + 1);
      std::string letter = specs[n].substr(second + 1);
      const std::string& name = option_names_.emplace_back(specs[n].substr(0, first));
      options_.push_back({name.c_str(), std::stoi(specs[n].substr(first + 1)), nullptr,
                          letter.size() == 1 ? static_cast<unsigned char>(letter[0]) : std::stoi(letter)});
    }
    options_.push_back({nullptr, 0, nullptr, 0});
  }

  void parse(ProfileConfig& config, std::size_t first) {
    std::vector<const char*> argv;
    for (std::size_t n = first; n < words_.size(); ++n) argv.push_back(words_[n].c_str());
    int result = config.parse_options(static_cast<int>(argv.size()), argv.data(), options_.data());
    say("result " + std::to_string(result));
    if (config.first_operand() != result) say("first operand " + std::to_string(config.first_operand()));
    bool kept = config.argument_count() == static_cast<int>(argv.size());
    for (int n = 0; kept && n < config.argument_count(); ++n) {
      kept = config.argument(n) && std::string_view(config.argument(n)) == argv[n];
    }
    if (!kept) say("the kept arguments differ from the words");
  }

  int first_given(ProfileConfig& config) {
    bool require_true = arg(3) == "true";
    std::vector<const char*> names;
    std::vector<int> columns;
    for (std::size_t n = 4; n < words_.size(); ++n) {
      const std::string& item = words_[n];
      names.push_back(item.c_str());
      bool number = item[0] == '-' || std::isdigit(static_cast<unsigned char>(item[0]));
      columns.push_back(number ? std::stoi(item) : config.option_names().lookup_name(item));
    }
    names.push_back(nullptr);
    if (arg(2) == "names") return config.first_given(names.data(), require_true);
    if (arg(2) == "until_negative") return config.first_given_until_negative(columns.data(), require_true);
    return config.first_given(std::span<const int>(columns), require_true);
  }

  void check_block_sizes(const std::string& text) {
    std::string whole = read_alone(text, ByteSource::default_block_size);
    for (std::size_t block : {1, 2, 3, 7}) {
      if (read_alone(text, block) != whole) say("blocks of " + std::to_string(block) + " read differently");
    }
  }

  static std::string key(const ProfileConfig& config, std::pair<int, int> at) {
    return name_text(config.profile_names().name_at(at.first)) + "." +
           name_text(config.option_names().name_at(at.second));
  }

  void say_messages(ProfileConfig& config) {
    while (const char* message = config.next_message()) say("message " + visible(message));
  }

  void say(std::string text) {
    replace_all(text, temp_.path(), "$TMP");
    out_ += "| " + text + "\n";
  }

  const std::string& arg(std::size_t n) const {
    static const std::string missing;
    return n < words_.size() ? words_[n] : missing;
  }

  std::vector<std::string> words_;
  std::map<std::string, ProfileConfigPtr> objects_;
  std::deque<std::string> option_names_;
  std::vector<OptionSpec> options_{{nullptr, 0, nullptr, 0}};
  std::string out_;
};

TEST_P(ProfileCases, TranscriptMatches) {
  check_transcript(GetParam(), [this](const std::string& line) { return run(line); });
}

std::vector<std::string> case_files() {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(PLIM_SOURCE_DIR "/profile/testdata")) {
    if (entry.path().extension() == ".case") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

INSTANTIATE_TEST_SUITE_P(Data, ProfileCases, ::testing::ValuesIn(case_files()),
                         [](const auto& info) { return fs::path(info.param).stem().string(); });

}  // namespace
