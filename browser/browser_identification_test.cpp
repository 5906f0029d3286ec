#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "browser/browser_discovery.h"
#include "core/browser_list.h"
#include "testing/test_support/browser_fixture.h"

// What is found for running browsers, the size limit, the libc character,
// the directory test's names and the merging of entries are shown with
// running stand-ins in tests/e2e/browser_*_test.sh.
using BrowserIdentification = BrowserFixture;

TEST_F(BrowserIdentification, DirectoryNeedsABrowserNameAndASibling) {
  std::string bare = make_dir("home", {"plugins/", "java/"});
  std::string other = make_dir("other", {"plugins/", "java/", "spell"});
  EXPECT_FALSE(is_browser_directory(bare));
  EXPECT_TRUE(is_browser_directory(other));
}

TEST_F(BrowserIdentification, CandidateNeedsARegularFileWithAnExecuteBit) {
  std::string home = make_home("ns");
  const struct {
    const char* name;
    mode_t mode;
    bool added;
  } cases[] = {{"no-execute-bit", 0644, false}, {"other-execute-only", 0641, true}};
  for (const auto& c : cases) {
    write_file(home + "/" + c.name, browser_image(), kSmallestBrowserSize, c.mode);
    EXPECT_EQ(add_browser_executable((home + "/" + c.name).c_str(), std::nullopt, -1, nullptr), c.added) << c.name;
  }
  EXPECT_FALSE(add_browser_executable((home + "/plugins").c_str(), std::nullopt, -1, nullptr));
  EXPECT_FALSE(add_browser_executable((home + "/missing").c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(browser_list.size(), 1u);
}

TEST_F(BrowserIdentification, TheFileMustStartWithTheProgramsOwnSignature) {
  std::string home = make_home("ns");
  std::string exe = make_browser(home, "netscape");
  write_file(home + "/script", "#!/bin/sh libc.so.6 MOZILLA_HOME=", kSmallestBrowserSize, 0755);
  write_file(home + "/zeros", std::string(4, '\0') + "libc.so.6 MOZILLA_HOME=", kSmallestBrowserSize, 0755);
  EXPECT_EQ(executable_libc_char((home + "/script").c_str()), 0);
  EXPECT_EQ(executable_libc_char(path("missing").c_str()), 0);

  // A bare executable's signature is zero: it identifies nothing, not even a
  // file that starts with four zero bytes, and checks no file.
  package_contents.exe_signature = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(executable_libc_char(exe.c_str()), 0);
  EXPECT_EQ(executable_libc_char((home + "/zeros").c_str()), 0);
  EXPECT_FALSE(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
