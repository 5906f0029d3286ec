#include "installer/option_table.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// A profile file holding `profile` (the profile "plugin"), read with no
// other profile of the machine's or the account's.
ProfileConfigPtr config_in(const ScratchDir& dir, const std::string& profile) {
  ::setenv("HOME", dir.path().c_str(), 1);
  ::setenv("PLIM_CONFIG_DIR", (dir.path() + "/").c_str(), 1);
  write_file(dir / "plugin.conf", profile);
  return ProfileConfigPtr(ProfileConfig::create_from_file(dir / "plugin.conf", "plugin"));
}

// The mode names the tables use, in the order of RunMode.
const std::vector<std::string> kModeNames = {"install", "upgrade", "uninstall", "extract",
                                             "package", "list",    "info",      "check"};

// The program's name, then the blank-separated `line`: argv for parse_options.
std::vector<const char*> command_line(const char* program, const std::string& line,
                                      std::vector<std::string>& kept) {
  std::istringstream words(line);
  kept.assign(std::istream_iterator<std::string>(words), {});
  std::vector<const char*> argv = {program};
  for (const std::string& word : kept) argv.push_back(word.c_str());
  return argv;
}

// The command line scanned against a mode's table: each option given as
// name=value, or the library's first message.
TEST(OptionTableTest, EachModeTakesItsOwnOptions) {
  expect_table("installer/testdata/mode_options.table", [](const std::vector<std::string>& f) {
    ScratchDir dir;
    ProfileConfigPtr config = config_in(dir, "");
    std::vector<std::string> kept;
    std::vector<const char*> words = command_line("install", f[1], kept);
    auto mode = std::find(kModeNames.begin(), kModeNames.end(), f[0]) - kModeNames.begin();
    if (mode == std::ssize(kModeNames)) return "no mode " + f[0];
    std::vector<OptionSpec> table = mode_options(static_cast<RunMode>(mode));
    config->parse_options(static_cast<int>(words.size()), words.data(), table.data());
    if (const char* message = config->next_message()) return std::string(message);
    std::string given;
    for (const OptionSpec& option : first_pass_options()) {
      const char* value = option.name ? config->get_string(option.name) : nullptr;
      if (value) given += (given.empty() ? "" : " ") + std::string(option.name) + "=" + value;
    }
    return given;
  });
}

TEST(OptionTableTest, ModeRule) {
  expect_table("installer/testdata/mode_rule.table", [](const std::vector<std::string>& f) {
    ScratchDir dir;
    ProfileConfigPtr config = config_in(dir, f[1]);
    std::vector<std::string> kept;
    std::vector<const char*> words = command_line(f[0].c_str(), f[2], kept);
    config->parse_options(static_cast<int>(words.size()), words.data(), first_pass_options().data());
    return kModeNames.at(static_cast<std::size_t>(choose_mode(f[0].c_str(), *config)));
  });
}

}  // namespace

}  // namespace plim
