#pragma once

// Test fixtures for the profile library: a temporary home and system
// directory, so that no test reads the real /etc/Plim or the real home.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

#include "profile/profile_config.h"
#include "profile/search_directories.h"
#include "testing/test_support/scratch_dir.h"

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
  std::string personal_file(const std::string& profile) const {
    return personal_dir() + profile + ".conf";
  }
  std::string system_file(const std::string& profile) const {
    return system_dir() + profile + ".conf";
  }

  // Every pending message, oldest first.
  static std::vector<std::string> take_messages(ProfileConfig& config) {
    std::vector<std::string> messages;
    while (const char* message = config.next_message()) messages.emplace_back(message);
    return messages;
  }

  // The value of option name in row, or nullopt.
  static std::optional<std::string> value_in(const ProfileConfig& config, int row,
                                             const std::string& name) {
    const std::string* value =
        config.profile_value(row, config.option_names().lookup_name(name));
    return value ? std::optional<std::string>(*value) : std::nullopt;
  }

  ScratchDir temp_;
  ScopedEnvironment home_variable_{"HOME", home()};
  ScopedEnvironment config_variable_{"PLIM_CONFIG_DIR", system_dir()};
};
