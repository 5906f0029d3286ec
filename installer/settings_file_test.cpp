#include "installer/settings_file.h"

#include <unistd.h>

#include "core/browser_list.h"
#include "profile/profile_config.h"
#include "testing/test_support/unit_test.h"

namespace plim {

using profile::ProfileConfig;
using profile::ProfileConfigPtr;

// The file's lines, the run log, a directory that refuses the file and a
// full disk are whole-run cases: tests/cases/alice-check-not-running,
// alice-settings-unwritable, root-relative-config and
// tests/e2e/faults_test.sh.
namespace {

BrowserEntry browser(const std::string& exe, const std::string& home) {
  BrowserEntry entry;
  entry.exe_path = exe;
  entry.browser_home = home;
  return entry;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.prefix = "/home/o'neil/it's 'quoted' # not a comment \\ \"x\"";
    settings_.settings_file = dir_ / "plugin.conf";
  }
  void write() { write_settings(contents_, settings_, browsers_, nullptr); }

  ScratchDir dir_;
  Settings settings_;
  BrowserList browsers_ = {browser("/opt/a'b/netscape", "/opt/a'b/"),
                           browser("/opt/cr\r/netscape", "/opt/cr\r")};
  PackageContents contents_{};  // a bare executable's: version 0.0.0.0, no licence
};

TEST_F(SettingsFileTest, ProfileReaderReadsEveryValueBackExactly) {
  ::setenv("HOME", dir_.path().c_str(), 1);
  ::setenv("PLIM_CONFIG_DIR", (dir_.path() + "/").c_str(), 1);
  capture_in_child([this] { write(); });

  ProfileConfigPtr config(ProfileConfig::create_from_file(dir_ / "plugin.conf", "plugin"));
  EXPECT_FALSE(config->has_messages()) << config->next_message();
  EXPECT_STREQ(config->get_string("prefix"), settings_.prefix->c_str());
  EXPECT_STREQ(config->get_string("netscape"), "/opt/a'b/netscape:/opt/cr\r/netscape");
  EXPECT_STREQ(config->get_string("mozilla"), "/opt/a'b/:/opt/cr\r");
}

// A planted link is replaced, not followed; a directory that cannot be made
// is reported and the run goes on; without a settings file nothing happens:
// testdata/settings_file.out.
TEST_F(SettingsFileTest, Transcript) {
  write_file(dir_ / "victim", "precious\n");
  ASSERT_EQ(::symlink((dir_ / "victim").c_str(), (dir_ / "plugin.conf").c_str()), 0);
  std::string t = run_step(
      "a planted link", [this] { write(); }, dir_.path());
  settings_.settings_file = dir_ / "a/b/plugin.conf";
  t += run_step(
      "a missing directory", [this] { write(), std::printf("goes on\n"); }, dir_.path());
  settings_.settings_file.reset();
  t += run_step(
      "no settings file", [this] { write(); }, dir_.path());
  expect_golden(t, "installer/testdata/settings_file.out");
}

}  // namespace

}  // namespace plim
