#include "installer/option_table.h"

#include <cstdlib>
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

// The command line `words` scanned against `mode`'s table: each option
// given as name=value, or the library's first message.
std::string scanned(RunMode mode, std::vector<const char*> words) {
  ScratchDir dir;
  ProfileConfigPtr config = config_in(dir, "");
  words.insert(words.begin(), "install");
  std::vector<OptionSpec> table = mode_options(mode);
  config->parse_options(static_cast<int>(words.size()), words.data(), table.data());
  if (const char* message = config->next_message()) return message;
  std::string given;
  for (const OptionSpec& option : first_pass_options()) {
    const char* value = option.name ? config->get_string(option.name) : nullptr;
    if (value) given += std::string(option.name) + "=" + value + " ";
  }
  return given;
}

// What each mode's second pass takes, and that the rest is an option error
// there: an answer option outside install and upgrade, or --prefix with
// --uninstall, must not slip through.
TEST(OptionTableTest, EachModeTakesItsOwnOptions) {
  const struct {
    RunMode mode;
    std::vector<const char*> words;
    const char* expected;
  } rows[] = {
      {RunMode::kInstall,
       {"-n", "/a", "--mozilla=/b", "-p", "/opt", "-i", "-v"},
       "netscape=/a prefix=/opt mozilla=/b install=TRUE quiet=TRUE "},
      {RunMode::kInstall,
       {"--accept-license", "--mime=yes", "--refresh", "no"},
       "accept-license=TRUE mime=yes refresh=no "},
      {RunMode::kInstall, {"--upgrade"}, "Unrecognized option '--upgrade'"},
      {RunMode::kUpgrade, {"-U", "-f", "c", "--mime=no"}, "config=c upgrade=TRUE mime=no "},
      {RunMode::kUpgrade, {"--prefix=/opt"}, "Unrecognized option '--prefix=/opt'"},
      {RunMode::kUninstall, {"-u", "--config=c", "-v"}, "config=c uninstall=TRUE quiet=TRUE "},
      {RunMode::kUninstall, {"--prefix=/opt"}, "Unrecognized option '--prefix=/opt'"},
      {RunMode::kUninstall, {"--accept-license"}, "Unrecognized option '--accept-license'"},
      {RunMode::kExtract, {"-x", "d", "-U"}, "extract=d upgrade=TRUE "},
      {RunMode::kExtract, {"--config=c"}, "Unrecognized option '--config=c'"},
      {RunMode::kPackage,
       {"-L", "l", "-p", "/p", "-P", "-f", "c"},
       "prefix=/p config=c license=l package=TRUE "},
      {RunMode::kPackage, {"--mime=yes"}, "Unrecognized option '--mime=yes'"},
      {RunMode::kList, {"--list", "-v"}, "quiet=TRUE list=TRUE "},
      {RunMode::kInfo, {"--info"}, "info=TRUE "},
      {RunMode::kInfo, {"--list"}, "Unrecognized option '--list'"},
      {RunMode::kCheck, {"--check", "--quiet"}, "quiet=TRUE check=TRUE "},
      {RunMode::kCheck, {"-h"}, "Unrecognized option -h"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(scanned(row.mode, row.words), row.expected) << "mode " << static_cast<int>(row.mode);
}

// The mode rule: the program's name first, then the options (from the
// command line or a profile) in a fixed order, whatever order they are given in.
TEST(OptionTableTest, ModeRule) {
  const struct {
    const char* program;
    const char* profile;
    std::vector<const char*> words;
    RunMode expected;
  } rows[] = {
      {"install", "", {}, RunMode::kInstall},
      {"install", "", {"--install", "--quiet"}, RunMode::kInstall},
      {"UnInstall", "", {}, RunMode::kUninstall},
      {"uninstall", "", {"--extract=d", "--package"}, RunMode::kUninstall},
      {"PACKAGE", "", {"--uninstall"}, RunMode::kPackage},
      {"install", "", {"--package", "--uninstall"}, RunMode::kUninstall},
      {"install", "", {"--extract=d", "--package"}, RunMode::kPackage},
      {"install", "", {"--check", "--info", "--list"}, RunMode::kList},
      {"install", "", {"--check", "--info"}, RunMode::kInfo},
      {"install", "", {"--extract=d", "--check"}, RunMode::kCheck},
      {"install", "", {"--upgrade", "--extract="}, RunMode::kExtract},
      {"install", "", {"--upgrade"}, RunMode::kUpgrade},
      {"install", "upgrade=true\n", {}, RunMode::kUpgrade},
      {"install", "upgrade=true\n", {"--list"}, RunMode::kList},
      {"install", "uninstall=false\nextract=/x\n", {}, RunMode::kExtract},
      {"uninstall.sh", "", {}, RunMode::kInstall},
  };
  for (const auto& row : rows) {
    ScratchDir dir;
    ProfileConfigPtr config = config_in(dir, row.profile);
    std::vector<const char*> words = row.words;
    words.insert(words.begin(), row.program);
    config->parse_options(static_cast<int>(words.size()), words.data(), first_pass_options().data());
    EXPECT_EQ(choose_mode(row.program, *config), row.expected)
        << row.program << " with " << words.size() - 1 << " options, profile \"" << row.profile << "\"";
  }
}

}  // namespace

}  // namespace plim
