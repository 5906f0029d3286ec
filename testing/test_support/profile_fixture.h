#pragma once

// Test fixtures for the profile library: a temporary home and system
// directory, so that no test reads the real /etc/Plim or the real home; and
// the text tools of the case files that drive it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_config.h"
#include "profile/profile_reader.h"
#include "profile/search_directories.h"
#include "testing/test_support/golden.h"
#include "testing/test_support/scratch_dir.h"

namespace profile {

// Sets an environment variable (or unsets it, for nullopt) for a scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// HOME is <temp>/home (with its .Plim directory) and PLIM_CONFIG_DIR is
// <temp>/etc/, both empty at the start of each test.
class ProfileFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(personal_dir());
    std::filesystem::create_directories(system_dir());
    forget_search_directories_for_testing();
  }
  void TearDown() override { forget_search_directories_for_testing(); }

  std::string home() const { return temp_.path() + "/home"; }
  std::string personal_dir() const { return home() + "/.Plim/"; }
  std::string system_dir() const { return temp_.path() + "/etc/"; }
  std::string personal_file(const std::string& profile) const { return personal_dir() + profile + ".conf"; }
  std::string system_file(const std::string& profile) const { return system_dir() + profile + ".conf"; }

  ScratchDir temp_;
  ScopedEnvironment home_variable_{"HOME", home()};
  ScopedEnvironment config_variable_{"PLIM_CONFIG_DIR", system_dir()};
};

// Splits a case line into words at spaces. A word is made of pieces: plain
// text, or a double-quoted text with the escapes of golden.h and \"; a quoted
// piece followed by *N stands for N copies of it ("x"*1000), so that long
// texts stay short.
inline std::vector<std::string> case_words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && line[at] == ' ') ++at;
    if (at == line.size()) return words;
    std::string& word = words.emplace_back();
    while (at < line.size() && line[at] != ' ') {
      if (line[at] != '"') {
        word += line[at++];
        continue;
      }
      std::string piece;
      for (++at; at < line.size() && line[at] != '"'; ++at) {
        char c = line[at];
        if (c == '\\' && ++at < line.size()) {
          c = line[at];
          if (c == 'x') {
            c = static_cast<char>(std::stoi(std::string(line.substr(at + 1, 2)), nullptr, 16));
            at += 2;
          } else if (std::size_t letter = kEscapeLetters.find(c); letter != std::string_view::npos) {
            c = kEscapedBytes[letter];
          }
        }
        piece += c;
      }
      std::size_t copies = 1, digits = 0;
      if (++at < line.size() && line[at] == '*') {
        copies = std::stoul(std::string(line.substr(at + 1)), &digits);
        at += 1 + digits;
      }
      while (copies-- > 0) word += piece;
    }
  }
}

// The text as case_words reads it back: quoted, escaped, and runs of more
// than sixteen equal bytes written as "c"*N.
inline std::string visible(std::string_view text) {
  auto escaped = [](char c) { return c == '"' ? std::string("\\\"") : escaped_byte(c); };
  std::string out, piece;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t run = std::min(text.find_first_not_of(text[at], at), text.size()) - at;
    if (run <= 16) {
      piece += escaped(text[at++]);
      continue;
    }
    if (!piece.empty()) out += '"' + piece + '"';
    piece.clear();
    out += '"' + escaped(text[at]) + "\"*" + std::to_string(run);
    at += run;
  }
  if (!piece.empty() || out.empty()) out += '"' + piece + '"';
  return out;
}

// A case file holds commands, one a line, each followed by the lines it
// printed, which begin with "| "; blank lines and lines beginning with "#"
// stand as they are. run is given each command and gives its printed lines.
// The file must equal the transcript so made (see expect_golden).
inline void check_transcript(const std::string& path,
                             const std::function<std::string(const std::string&)>& run) {
  std::string expected = read_file(path);
  std::istringstream in(expected);
  std::string transcript, line;
  while (std::getline(in, line)) {
    if (line.starts_with("| ")) continue;
    transcript += line + "\n";
    if (!line.empty() && line[0] != '#') transcript += run(line);
  }
  expect_golden(transcript, path);
}

// Tools of the profile case runner.

inline std::string text_or_none(const char* text) { return text ? visible(text) : "none"; }
inline std::string text_or_none(const std::string* text) { return text ? visible(*text) : "none"; }
inline const char* none_for_dash(const std::string& word) { return word == "-" ? nullptr : word.c_str(); }

// A name as it stands when it is plain, else as visible gives it.
inline std::string name_text(std::string_view name) {
  bool plain = !name.empty() && name.size() < 40 &&
               name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_:-") ==
                   std::string_view::npos;
  return plain ? std::string(name) : visible(name);
}

// Every value that get(row, column) gives in rows x columns, by row and
// column; for a ProfileConfig, every value of every profile it knows.
using Values = std::map<std::pair<int, int>, std::string>;
inline Values values_of(int rows, int columns, const auto& get) {
  Values values;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (const std::string* value = get(row, column)) values[{row, column}] = *value;
    }
  }
  return values;
}
inline Values values_of(const ProfileConfig* config) {
  if (!config) return {};
  return values_of(config->profile_names().count(), config->option_names().count(),
                   [&](int row, int column) { return config->profile_value(row, column); });
}

// What text reads as in a store of its own, in blocks of block_size: the
// line count, every value and every message.
inline std::string read_alone(const std::string& text, std::size_t block_size) {
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
  for (const auto& [at, value] : values_of(profiles.row_count(), option_names.count(),
                                           [&](int row, int column) { return profiles.get(row, column); })) {
    dump += std::to_string(at.first) + "." + option_names.name_at(at.second) + "=" + value + "\n";
  }
  while (const char* message = messages.pop_message()) dump += std::string(message) + "\n";
  return dump;
}

inline void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace profile
