#include "package/extraction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "installer/child_process.h"
#include "installer/console.h"
#include "installer/settings.h"
#include "package/package_contents.h"
#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void run_shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// A package in memory: an "image", a gzip'd licence and a gzip'd tar archive
// made by the system's tools, with the distributed member names.
class ExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    ::mkdir((dir_ / "src").c_str(), 0755);
    ::mkdir((dir_ / "src/sub").c_str(), 0755);
    write_file(dir_ / "src/index.html", "<html>welcome</html>\n");
    write_file(dir_ / "src/sub/nsplimmo_libc6.so", std::string(5000, '\x7f'));
    license_text_ = "LICENCE AGREEMENT\nYou may use this plug-in.\n";
    write_file(dir_ / "license.txt", license_text_);
    run_shell("cd '" + dir_.path() + "/src' && tar czf ../Plim.tar.gz ./ && cd .. && gzip -kn license.txt");
    image_ = "\x7f" "ELF pretend executable image";
    use(read_file(dir_ / "license.txt.gz"), read_file(dir_ / "Plim.tar.gz"));
  }
  void TearDown() override {
    package_contents = PackageContents{};
    settings = Settings{};
  }

  void use(std::string license, std::string archive) {
    license_ = std::move(license);
    archive_ = std::move(archive);
    PackageContents& p = package_contents;
    p.image = image_.data();
    p.trailer.set_exe_length(image_.size());
    p.license_data = license_.data();
    p.trailer.set_license_length(license_.size());
    p.archive_data = archive_.data();
    p.trailer.set_archive_length(archive_.size());
    p.license_name = "license.txt.gz";
    p.archive_name = "Plim.tar.gz";
  }

  // Runs `body` in a child that logs beside dir_/installer, with umask 022.
  Captured run(const std::function<void()>& body) {
    return capture_in_child([&] {
      ::umask(022);
      open_run_log((dir_ / "installer").c_str());
      body();
    });
  }

  ScratchDir dir_;
  std::string image_, license_text_, license_, archive_;
};

TEST_F(ExtractionTest, ExtractModeUnpacksLicenceAndArchiveIntoANewDirectory) {
  std::string out = dir_ / "out";
  settings.extract_dir = out;
  Captured result = run([] {
    unpack_license();
    unpack_archive();
  });
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(mode_of(out), 0755u);
  EXPECT_EQ(read_file(out + "/license.txt"), license_text_);
  EXPECT_EQ(mode_of(out + "/license.txt"), 0644u);
  EXPECT_EQ(read_file(out + "/index.html"), "<html>welcome</html>\n");
  EXPECT_EQ(read_file(out + "/sub/nsplimmo_libc6.so"), std::string(5000, '\x7f'));
  EXPECT_FALSE(exists(out + "/license.txt.gz"));
  EXPECT_FALSE(exists(out + "/Plim.tar.gz"));
  EXPECT_FALSE(exists(out + "/uninstall"));

  std::string lines = "Create:\t" + out + "/license.txt.gz\nExecute:\tgunzip -f license.txt.gz\nCreate:\t" + out +
                      "/Plim.tar.gz\n";
  EXPECT_EQ(result.out.substr(0, lines.size()), lines);
  EXPECT_NE(result.out.find("./index.html"), std::string::npos);  // tar's listing follows
  EXPECT_EQ(read_file(dir_ / "installer.log"), "chdir:\t" + out + "\nCreate:\t" + out +
                                                   "/license.txt.gz\nExecute:\tgunzip -f license.txt.gz\nchdir:\t" +
                                                   out + "\nCreate:\t" + out + "/Plim.tar.gz\n");
}

TEST_F(ExtractionTest, InstallationWritesUninstallerAndReplacesAnEarlierOne) {
  std::string install = dir_ / "NetscapePlugin";
  settings.install_dir = install;
  ::mkdir(install.c_str(), 0755);
  write_file(install + "/uninstall", "old uninstaller, longer than the new one " + std::string(100, 'x'));
  write_file(install + "/license.txt", "old licence\n");
  Captured result = run([] {
    write_uninstaller();
    unpack_license();
    unpack_archive();
  });
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(install + "/uninstall"), image_);
  EXPECT_EQ(mode_of(install + "/uninstall"), 0755u);
  EXPECT_EQ(read_file(install + "/license.txt"), license_text_);
  EXPECT_EQ(result.out.substr(0, result.out.find("Execute")),
            "Create:\t" + install + "/uninstall\nCreate:\t" + install + "/license.txt.gz\n");
}

TEST_F(ExtractionTest, DamagedMembersEndTheRunWithTheChildsStatus) {
  settings.extract_dir = dir_ / "out";
  std::string truncated_archive = archive_.substr(0, archive_.size() - 30);
  std::string truncated_license = license_.substr(0, license_.size() - 10);
  run_shell("cd '" + dir_.path() + "' && echo 'not a tar archive at all' | gzip -n > notar.gz");
  std::string gzip_but_no_tar = read_file(dir_ / "notar.gz");

  struct DamageCase {
    const char* what;
    std::string license, archive;
    std::function<void()> step;
    std::string error_line;
  };
  const DamageCase cases[] = {
      {"truncated archive", license_, truncated_archive, unpack_archive, "Error:\tgunzip exited with status 1\n"},
      {"not a tar archive", license_, gzip_but_no_tar, unpack_archive, "Error:\ttar exited with status 2\n"},
      {"truncated licence", truncated_license, archive_, unpack_license, "Error:\tgunzip exited with status 1\n"},
      // A licence that cannot be shown must not reach the acceptance question.
      {"truncated licence shown", truncated_license, archive_, show_license, "Error:\tgunzip exited with status 1\n"},
  };
  for (const DamageCase& c : cases) {
    use(c.license, c.archive);
    Captured result = run([&] {
      c.step();
      std::printf("not reached");
    });
    EXPECT_EQ(result.status, 1) << c.what;
    EXPECT_NE(result.err.find(c.error_line), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(result.out.find("not reached"), std::string::npos) << c.what;
    EXPECT_NE(read_file(dir_ / "installer.log").find(c.error_line), std::string::npos) << c.what;
    EXPECT_FALSE(exists(dir_ / "out/Plim.tar.gz")) << c.what;
  }
  EXPECT_FALSE(exists(dir_ / "out/license.txt.gz")) << "shown licence left behind";
}

TEST_F(ExtractionTest, VerifyIsSilentForAGoodPackageAndStopsADamagedOne) {
  Captured good = run([] {
    verify_package_members();
    std::printf("verified");
  });
  EXPECT_EQ(good.out, "verified");
  EXPECT_EQ(good.err, "");

  use(license_, archive_.substr(0, archive_.size() / 2));
  Captured damaged = run([] {
    verify_package_members();
    std::printf("not reached");
  });
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "");
  EXPECT_NE(damaged.err.find("Error:\tgunzip exited with status 1\n"), std::string::npos) << damaged.err;
}

// A pager that reads nothing at all and records how it was called.
class ShowLicenseTest : public ExtractionTest {
 protected:
  void use_pager(const std::string& script) {
    std::string bin = dir_ / "bin";
    ::mkdir(bin.c_str(), 0755);
    write_file(bin + "/less", "#!/bin/sh\n" + script);
    ::chmod((bin + "/less").c_str(), 0755);
    ::setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", "/usr/bin:/bin", 1);
    ExtractionTest::TearDown();
  }
};

TEST_F(ShowLicenseTest, PagerSeesTheTextAndNothingStaysOnDisk) {
  settings.install_dir = dir_ / "install";
  use_pager("echo \"$@\" > '" + dir_.path() + "/pager-args'; cat\n");
  Captured result = run([] {
    show_license();
    std::printf("|after");
  });
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Create:\t" + dir_ / "install" + "/license.txt.gz\n" + license_text_ + "|after");
  EXPECT_EQ(read_file(dir_ / "pager-args"), "-eM\n");
  EXPECT_FALSE(exists(dir_ / "install/license.txt.gz"));
  EXPECT_NE(read_file(dir_ / "installer.log").find("View:\tLicense\n"), std::string::npos);
}

TEST_F(ShowLicenseTest, PagerQuittingAtOnceOverALongLicenceIsNormal) {
  // Far more than a pipe holds, compressed and decompressed.
  run_shell("head -c 3000000 /dev/urandom | base64 > '" + dir_.path() + "/long.txt' && gzip -n '" + dir_.path() +
            "/long.txt'");
  use(read_file(dir_ / "long.txt.gz"), archive_);
  settings.install_dir = dir_ / "install";
  use_pager("exit 0\n");
  for (bool inherited_ignore : {false, true}) {
    Captured result = run([&] {
      if (inherited_ignore) std::signal(SIGPIPE, SIG_IGN);
      show_license();
      std::printf("|after");
    });
    EXPECT_EQ(result.status, 0) << inherited_ignore << result.err;
    EXPECT_EQ(result.err, "") << inherited_ignore;
    EXPECT_EQ(result.out.substr(result.out.size() - 6), "|after") << inherited_ignore;
  }
}

TEST_F(ExtractionTest, UnusableTargetOrMissingMembersEndTheRun) {
  settings.extract_dir = dir_ / "a/b";
  Captured no_dir = run([] { unpack_license(); });
  EXPECT_EQ(no_dir.status, 1);
  EXPECT_EQ(no_dir.err, "mkdir: No such file or directory\nFailed to created directory " + dir_ / "a/b" + "\n");

  settings.extract_dir = dir_ / "out";
  package_contents.license_name = nullptr;
  Captured bare = run([] { unpack_license(); });
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.err, "Error:\tThis program carries no package to unpack\n");
}

TEST(ChildFailureTest, ExitStatusAndSignalAreReportedNormalEndIsNot) {
  struct StatusCase {
    const char* script;
    bool failed;
    const char* line;
  };
  const StatusCase cases[] = {
      {"exit 0", false, ""},
      {"exit 3", true, "Error:\tsh exited with status 3\n"},
      {"kill -TERM $$", true, "Error:\tsh was signaled\n"},
  };
  for (const StatusCase& c : cases) {
    ChildSpec child;
    child.argv = {"sh", "-c", c.script};
    int status = run_child(child);
    Captured result = capture_in_child([&] { std::printf("%d", report_child_failure("sh", status)); });
    EXPECT_EQ(result.out, c.failed ? "1" : "0") << c.script;
    EXPECT_EQ(result.err, c.line) << c.script;
  }
}

}  // namespace
