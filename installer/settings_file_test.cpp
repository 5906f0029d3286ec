#include "installer/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "browser/browser_list.h"
#include "installer/console.h"
#include "installer/settings.h"
#include "profile/profile_config.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

void set_version(int major, int minor, int patch, int delta) {
  package_contents.trailer.major = major;
  package_contents.trailer.minor = minor;
  package_contents.trailer.patch = patch;
  package_contents.trailer.delta = delta;
}

BrowserEntry browser(const std::string& exe, const std::string& home) {
  BrowserEntry entry;
  entry.exe_path = exe;
  entry.browser_home = home;
  return entry;
}

// An installation with two browsers and the distributed member names.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    settings.prefix = "/opt";
    browser_list = {browser("/usr/bin/netscape", "/usr/lib/netscape/"),
                    browser("/home/u/ns/netscape", "/home/u/ns")};
    package_contents.license_name = "license.txt.gz";
    set_version(3, 2, 5, 0);
  }
  void TearDown() override {
    browser_list.clear();
    package_contents.license_name = nullptr;
    settings = Settings{};
  }

  const std::string kBrowserLines =
      "netscape='/usr/bin/netscape:/home/u/ns/netscape'\n"
      "mozilla='/usr/lib/netscape/:/home/u/ns'\n";
  ScratchDir dir_;
};

TEST_F(SettingsFileTest, PrintoutHasPrefixBrowsersAndAnEmptyLine) {
  std::string program = dir_ / "installer";
  Captured run = capture_in_child([&] {
    open_run_log(program.c_str());
    write_settings(stdout);
  });
  std::string expected = "prefix='/opt'\n" + kBrowserLines + "\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(read_file(program + ".log"), expected);

  browser_list.clear();
  EXPECT_EQ(capture_in_child([] { write_settings(stdout); }).out, "prefix='/opt'\n\n");
}

struct VersionCase {
  int major, minor, patch, delta;
  const char* line;
};

TEST_F(SettingsFileTest, FileHoldsAllFiveLinesWithTheVersionInItsForm) {
  const VersionCase cases[] = {
      {3, 0, 1, 0, "version='3.0.1'\n"},
      {3, 0, 1, 2, "version='3.0.1.2'\n"},
      {3, 0, 0, 4, "version='3.0 beta 4'\n"},
      {12, 255, 7, 0, "version='12.255.7'\n"},
  };
  settings.settings_file = dir_ / "plugin.conf";
  for (const VersionCase& c : cases) {
    set_version(c.major, c.minor, c.patch, c.delta);
    std::string program = dir_ / "installer";
    Captured run = capture_in_child([&] {
      open_run_log(program.c_str());
      write_settings(nullptr);
    });
    EXPECT_EQ(run.out, "Create:\t" + *settings.settings_file + "\n");
    EXPECT_EQ(run.err, "");
    std::string lines = "prefix='/opt'\n" + kBrowserLines + c.line;
    EXPECT_EQ(read_file(*settings.settings_file), lines + "license='license.txt'\n");
    // The licence line is not logged.
    EXPECT_EQ(read_file(program + ".log"), "Create:\t" + *settings.settings_file + "\n" + lines);
  }
}

TEST_F(SettingsFileTest, LicenceLineComesFromTheNameUpToItsLastDot) {
  EXPECT_EQ(installed_license_name("license.txt.gz"), "license.txt");
  EXPECT_EQ(installed_license_name(".gz"), "");
  EXPECT_EQ(installed_license_name("LICENSE"), std::nullopt);  // no licence line then
  EXPECT_EQ(installed_license_name(nullptr), std::nullopt);
}

TEST_F(SettingsFileTest, QuotesAndCarriageReturnsAreWrittenToReadBackExactly) {
  EXPECT_EQ(quote_setting("/opt"), "'/opt'");
  EXPECT_EQ(quote_setting(""), "''");
  EXPECT_EQ(quote_setting("/home/o'neil"), "'/home/o'\\''neil'");
  EXPECT_EQ(quote_setting("a\rb"), "'a'\\r'b'");
  EXPECT_EQ(quote_setting("# \"x\" \\ y"), "'# \"x\" \\ y'");

  settings.prefix = "/home/o'neil";
  browser_list = {browser("/home/o'neil/netscape", "/home/o'neil/")};
  Captured run = capture_in_child([] { write_settings(stdout); });
  EXPECT_EQ(run.out,
            "prefix='/home/o'\\''neil'\n"
            "netscape='/home/o'\\''neil/netscape'\n"
            "mozilla='/home/o'\\''neil/'\n\n");
}

TEST_F(SettingsFileTest, ProfileReaderReadsEveryValueBackExactly) {
  ::setenv("HOME", dir_.path().c_str(), 1);
  ::setenv("PLIM_CONFIG_DIR", (dir_.path() + "/").c_str(), 1);
  settings.prefix = "/home/o'neil/it's 'quoted' # not a comment \\ \"x\"";
  browser_list = {browser("/opt/a'b/netscape", "/opt/a'b/"), browser("/opt/cr\r/netscape", "/opt/cr\r")};
  settings.settings_file = dir_ / "plugin.conf";
  capture_in_child([] { write_settings(nullptr); });

  ProfileConfigPtr config(ProfileConfig::create_from_file(*settings.settings_file, "plugin"));
  EXPECT_FALSE(config->has_messages()) << config->next_message();
  EXPECT_STREQ(config->get_string("prefix"), settings.prefix->c_str());
  EXPECT_STREQ(config->get_string("netscape"), "/opt/a'b/netscape:/opt/cr\r/netscape");
  EXPECT_STREQ(config->get_string("mozilla"), "/opt/a'b/:/opt/cr\r");
  EXPECT_STREQ(config->get_string("version"), "3.2.5");
  EXPECT_STREQ(config->get_string("license"), "license.txt");
}

TEST_F(SettingsFileTest, MissingDirectoryIsCreatedOneLevel) {
  settings.settings_file = dir_ / ".Plim/plugin.conf";
  capture_in_child([] {
    ::umask(022);
    write_settings(nullptr);
  });
  struct stat st;
  ASSERT_EQ(::stat((dir_ / ".Plim").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_NE(read_file(*settings.settings_file).find("prefix='/opt'\n"), std::string::npos);

  // Unopenable: reported, and the run goes on.
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
  settings.settings_file = dir_ / "plugin.conf";
  write_file(*settings.settings_file, "prefix='/elsewhere'\nstale='yes'\nmore stale lines\n");
  capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(read_file(*settings.settings_file).find("stale"), std::string::npos);

  write_file(dir_ / "victim", "precious\n");
  ::unlink(settings.settings_file->c_str());
  ASSERT_EQ(::symlink((dir_ / "victim").c_str(), settings.settings_file->c_str()), 0);
  capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(read_file(dir_ / "victim"), "precious\n");
  struct stat st;
  ASSERT_EQ(::lstat(settings.settings_file->c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(SettingsFileTest, WriteErrorIsReportedAndThePartialFileRemoved) {
  FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(write_settings_lines(full));

  // A file size limit makes the disk "full" within the long prefix line,
  // while the short messages still fit.
  settings.settings_file = dir_ / "plugin.conf";
  settings.prefix = "/opt/" + std::string(400, 'x');
  Captured run = capture_in_child([] {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {200, 200};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    write_settings(nullptr);
    std::printf("goes on");
  });
  EXPECT_EQ(run.out, "Create:\t" + *settings.settings_file + "\ngoes on");
  EXPECT_EQ(run.err, "write: File too large\nError:\tFailed to write " + *settings.settings_file + "\n");
  EXPECT_NE(::access(settings.settings_file->c_str(), F_OK), 0);
}

TEST_F(SettingsFileTest, NoSettingsFileMeansSilence) {
  settings.settings_file.reset();
  Captured run = capture_in_child([] { write_settings(nullptr); });
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

}  // namespace
