#pragma once

// The interpreter of the profile library's cases (profile/testdata/*.case,
// run by profile/profile_cases_test.cpp through check_transcript in
// profile_fixture.h).
// $TMP in a word is the scratch directory. The commands:
//
//   system NAME TEXT, personal NAME TEXT   write NAME.conf in $TMP/etc/, $TMP/home/.Plim/
//   file PATH TEXT          writes $TMP/PATH
//   env VAR [VALUE]         sets (or unsets) VAR; forget: the library looks again
//   options NAME,KIND,LETTER...   the option table of parse and scan
//   choose_home HOME PASSWORD_HOME, choose_system DIR   the rules, "-" for none
//   create OBJ NAME, create_from_file OBJ PATH PROFILE, clone OBJ SOURCE, destroy OBJ
//   METHOD OBJ ARG...       get_string, get_flag, get_number, select_profile,
//                           load_profile, merge_file, resolve_value
//   parse OBJ WORD...       parse_options, then the values of the table's options;
//                           scan OBJ WORD... does so in a fresh object of "prog"
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

#include "testing/test_support/profile_fixture.h"

namespace profile {

class ProfileCaseInterpreter : public ProfileFilesTest {
 protected:
  // Runs one case line; returns what it says, "| " before each line.
  std::string run(const std::string& line) {
    out_.clear();
    words_ = case_words(line);
    for (std::string& word : words_) replace_all(word, "$TMP", temp_.path());
    // The second word names the object, for the commands that have one.
    ProfileConfigPtr& config = objects_[arg(1)];
    if (arg(0).starts_with("create") || arg(0) == "clone") config.reset();
    Values before = values_of(config.get());
    const std::map<std::string, std::function<void()>> commands = {
        {"system", [&] { write_file(system_file(arg(1)), arg(2)), check_block_sizes(arg(2)); }},
        {"personal", [&] { write_file(personal_file(arg(1)), arg(2)), check_block_sizes(arg(2)); }},
        {"file", [&] { write_file(temp_.path() + "/" + arg(1), arg(2)), check_block_sizes(arg(2)); }},
        {"env",
         [&] { words_.size() > 2 ? setenv(arg(1).c_str(), arg(2).c_str(), 1) : unsetenv(arg(1).c_str()); }},
        {"forget", [&] { forget_search_directories_for_testing(); }},
        {"options", [&] { set_options(); }},
        {"choose_home",
         [&] { say(text_or_none(choose_home_directory(none_for_dash(arg(1)), none_for_dash(arg(2))))); }},
        {"choose_system", [&] { say(text_or_none(choose_system_directory(none_for_dash(arg(1))))); }},
        {"create", [&] { config.reset(ProfileConfig::create(arg(2))); }},
        {"create_from_file", [&] { config.reset(ProfileConfig::create_from_file(arg(2), arg(3))); }},
        {"clone", [&] { config.reset(ProfileConfig::clone(objects_.at(arg(2)).get())); }},
        {"destroy", [&] { config.reset(); }},
        {"get_string", [&] { say(text_or_none(config->get_string(arg(2)))); }},
        {"get_flag", [&] { say(std::to_string(config->get_flag(arg(2), std::stoi(arg(3))))); }},
        {"get_number", [&] { say(std::to_string(config->get_number(arg(2), std::stoi(arg(3))))); }},
        {"select_profile",
         [&] {
           bool found = config->select_profile(arg(2));
           say(std::string(found ? "found" : "not found") + ", profile " + name_text(config->profile_name()));
         }},
        {"load_profile", [&] { say("row " + std::to_string(config->load_profile(arg(2)))); }},
        {"merge_file", [&] { config->merge_file(arg(2), arg(3)); }},
        {"resolve_value", [&] { say(text_or_none(config->resolve_value(std::stoi(arg(2))))); }},
        {"path",
         [&] {
           const char* path = config->profile_file_path(arg(2), std::stoi(arg(3)));
           const passwd* entry = getpwuid(getuid());
           say(path && entry && path == std::string_view(entry->pw_dir) ? "$PASSWORD_HOME"
                                                                        : text_or_none(path));
         }},
        {"read",
         [&] {
           check_block_sizes(arg(2));
           std::istringstream in(arg(2));
           int line_number = 1;
           config->read_profile_file(in, line_number, config->own_profile());
           say("lines " + std::to_string(line_number));
         }},
        {"parse", [&] { parse(*config); }},
        {"scan", [&] { config.reset(ProfileConfig::create("prog")), parse(*config); }},
        {"first_given", [&] { say(std::to_string(first_given(*config))); }},
        {"state",
         [&] {
           say("profile " + name_text(config->profile_name()) + ", own row " +
               std::to_string(config->own_profile()) + ", file " + text_or_none(config->file_path()) +
               ", shares " + std::to_string(config->share_count()) + ", arguments " +
               std::to_string(config->argument_count()));
         }},
    };
    auto command = commands.find(arg(0));
    if (command == commands.end()) return "| unknown command\n";
    command->second();
    if (!config) return out_;
    Values after = values_of(config.get());
    for (const auto& [at, value] : after) {
      auto old = before.find(at);
      if (old == before.end() || old->second != value) say(key(*config, at) + " = " + visible(value));
    }
    for (const auto& [at, value] : before) {
      if (!after.contains(at)) say(key(*config, at) + " unset");
    }
    while (const char* message = config->next_message()) say("message " + visible(message));
    return out_;
  }

  // NAME,KIND,LETTER, the letter as one character or its number.
  void set_options() {
    options_.clear();
    for (std::size_t n = 1; n < words_.size(); ++n) {
      std::size_t first = words_[n].find(','), second = words_[n].find(',', first + 1);
      std::string letter = words_[n].substr(second + 1);
      options_.push_back({option_names_.emplace_back(words_[n].substr(0, first)).c_str(),
                          std::stoi(words_[n].substr(first + 1)), nullptr,
                          letter.size() == 1 ? static_cast<unsigned char>(letter[0]) : std::stoi(letter)});
    }
    options_.push_back({nullptr, 0, nullptr, 0});
  }

  // Also checks what the object keeps of the command line.
  void parse(ProfileConfig& config) {
    std::vector<const char*> argv;
    for (std::size_t n = 2; n < words_.size(); ++n) argv.push_back(words_[n].c_str());
    int result = config.parse_options(static_cast<int>(argv.size()), argv.data(), options_.data());
    say("result " + std::to_string(result));
    if (config.first_operand() != result) say("first operand " + std::to_string(config.first_operand()));
    std::vector<std::string> kept;
    kept.reserve(config.argument_count());
    for (int n = 0; n < config.argument_count(); ++n)
      kept.emplace_back(config.argument(n) ? config.argument(n) : "");
    if (kept != std::vector<std::string>(argv.begin(), argv.end()))
      say("the kept arguments differ from the words");
    for (const OptionSpec& option : options_) {
      const char* value = option.name && *option.name ? config.get_string(option.name) : nullptr;
      if (value) say(std::string(option.name) + " = " + visible(value));
    }
  }

  int first_given(ProfileConfig& config) {
    std::vector<const char*> names;
    std::vector<int> columns;
    for (std::size_t n = 4; n < words_.size(); ++n) {
      names.push_back(words_[n].c_str());
      bool number = std::isdigit(static_cast<unsigned char>(words_[n].back()));
      columns.push_back(number ? std::stoi(words_[n]) : config.option_names().lookup_name(words_[n]));
    }
    names.push_back(nullptr);
    bool require_true = arg(3) == "true";
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

}  // namespace profile
