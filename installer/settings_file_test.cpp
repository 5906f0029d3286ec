#include "installer/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "core/browser_list.h"
#include "core/console.h"
#include "core/settings.h"
#include "profile/profile_config.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

BrowserEntry browser(const std::string& exe, const std::string& home) {
  BrowserEntry entry;
  entry.exe_path = exe;
  entry.browser_home = home;
  return entry;
}

// An installation with two browsers and the distributed member names; the
// file itself and its printout are checked end to end in install_run_test.sh.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    settings.prefix = "/opt";
    settings.settings_file = dir_ / "plugin.conf";
    browser_list = {browser("/usr/bin/netscape", "/usr/lib/netscape/"), browser("/home/u/ns/netscape", "/home/u/ns")};
    package_contents = PackageContents{};
    package_contents.license_name = "license.txt.gz";
    package_contents.trailer.major = 3, package_contents.trailer.minor = 2, package_contents.trailer.patch = 5;
  }
  void TearDown() override {
    browser_list.clear();
    package_contents = PackageContents{};
    settings = Settings{};
  }

  ScratchDir dir_;
};

TEST(VersionSettingTest, ReleaseDeltaAndBetaForms) {
  const struct {
    std::uint8_t major, minor, patch, delta;
    const char* text;
  } cases[] = {{3, 0, 1, 0, "3.0.1"}, {3, 0, 1, 2, "3.0.1.2"}, {3, 0, 0, 4, "3.0 beta 4"}, {12, 255, 7, 0, "12.255.7"}};
  for (const auto& c : cases) {
    PackageTrailer t{};
    t.major = c.major, t.minor = c.minor, t.patch = c.patch, t.delta = c.delta;
    EXPECT_EQ(version_setting(t), c.text);
  }
  EXPECT_EQ(installed_license_name("license.txt.gz"), "license.txt");
  EXPECT_EQ(installed_license_name(".gz"), "");
  EXPECT_EQ(installed_license_name("LICENSE"), std::nullopt);  // no licence line then
  EXPECT_EQ(installed_license_name(nullptr), std::nullopt);
}

TEST_F(SettingsFileTest, TheRunLogGetsEveryLineButTheLicence) {
  std::string program = dir_ / "installer";
  Captured run = capture_in_child([&] {
    open_run_log(program.c_str());
    write_settings(nullptr);
  });
  std::string lines =
      "prefix='/opt'\nnetscape='/usr/bin/netscape:/home/u/ns/netscape'\n"
      "mozilla='/usr/lib/netscape/:/home/u/ns'\nversion='3.2.5'\n";
  EXPECT_EQ(run.out, "Create:\t" + dir_ / "plugin.conf" + "\n");
  EXPECT_EQ(read_file(dir_ / "plugin.conf"), lines + "license='license.txt'\n");
  EXPECT_EQ(read_file(program + ".log"), "Create:\t" + dir_ / "plugin.conf" + "\n" + lines);
}

TEST_F(SettingsFileTest, ProfileReaderReadsEveryValueBackExactly) {
  EXPECT_EQ(quote_setting("/home/o'neil"), "'/home/o'\\''neil'");
  ::setenv("HOME", dir_.path().c_str(), 1);
  ::setenv("PLIM_CONFIG_DIR", (dir_.path() + "/").c_str(), 1);
  settings.prefix = "/home/o'neil/it's 'quoted' # not a comment \\ \"x\"";
  browser_list = {browser("/opt/a'b/netscape", "/opt/a'b/"), browser("/opt/cr\r/netscape", "/opt/cr\r")};
  capture_in_child([] { write_settings(nullptr); });

  ProfileConfigPtr config(ProfileConfig::create_from_file(dir_ / "plugin.conf", "plugin"));
  EXPECT_FALSE(config->has_messages()) << config->next_message();
  EXPECT_STREQ(config->get_string("prefix"), settings.prefix->c_str());
  EXPECT_STREQ(config->get_string("netscape"), "/opt/a'b/netscape:/opt/cr\r/netscape");
  EXPECT_STREQ(config->get_string("mozilla"), "/opt/a'b/:/opt/cr\r");
}

TEST_F(SettingsFileTest, AFileThatCannotBeOpenedIsReportedAndTheRunGoesOn) {
  write_file(dir_ / "file", "x");
  const std::pair<std::string, std::string> failures[] = {
      {dir_ / "a/b/plugin.conf", "mkdir: No such file or directory\nfopen: No such file or directory\n"},
      {dir_ / "file/plugin.conf", "fopen: Not a directory\n"},
  };
  for (const auto& [path, errors] : failures) {
    settings.settings_file = path;
    Captured run = capture_in_child([] {
      write_settings(nullptr);
      std::printf("goes on");
    });
    EXPECT_EQ(run.out, "goes on");
    EXPECT_EQ(run.err, errors + "Error:\tFailed to open " + path + "\n");
  }
}

TEST_F(SettingsFileTest, OldFileIsReplacedAndPlantedLinksAreNotFollowed) {
  write_file(dir_ / "plugin.conf", "prefix='/elsewhere'\nstale='yes'\n");
  capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(read_file(dir_ / "plugin.conf").find("stale"), std::string::npos);

  write_file(dir_ / "victim", "precious\n");
  ::unlink((dir_ / "plugin.conf").c_str());
  ASSERT_EQ(::symlink((dir_ / "victim").c_str(), (dir_ / "plugin.conf").c_str()), 0);
  capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(read_file(dir_ / "victim"), "precious\n");
  struct stat st;
  ASSERT_EQ(::lstat((dir_ / "plugin.conf").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(SettingsFileTest, WriteErrorIsReportedAndThePartialFileRemoved) {
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(write_settings_lines(full));

  // A file size limit makes the disk "full" within the long prefix line,
  // while the short messages still fit.
  settings.prefix = "/opt/" + std::string(400, 'x');
  Captured run = capture_in_child([] {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {200, 200};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    write_settings(nullptr);
    std::printf("goes on");
  });
  EXPECT_EQ(run.out, "Create:\t" + dir_ / "plugin.conf" + "\ngoes on");
  EXPECT_EQ(run.err, "write: File too large\nError:\tFailed to write " + dir_ / "plugin.conf" + "\n");
  EXPECT_NE(::access((dir_ / "plugin.conf").c_str(), F_OK), 0);
}

TEST_F(SettingsFileTest, NoSettingsFileMeansSilence) {
  settings.settings_file.reset();
  Captured run = capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(run.out + run.err, "");
}

}  // namespace
