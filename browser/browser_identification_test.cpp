#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "browser/browser_discovery.h"
#include "browser/browser_list.h"
#include "browser/browser_test_files.h"

using BrowserIdentification = BrowserFixture;

TEST_F(BrowserIdentification, DirectoryTestNeedsPluginsJavaAndOneSibling) {
  const struct {
    const char* name;
    std::initializer_list<const char*> contents;
    bool browser_home;
  } cases[] = {
      {"plugins-java-only", {"plugins/", "java/"}, false},
      {"plugins-java-vreg", {"plugins/", "java/", "vreg"}, true},
      {"java-vreg-no-plugins", {"java/", "vreg", "netscape", "Netscape.ad"}, false},
      {"plugins-libjsd-spell", {"plugins/", "libjsd.so", "spell"}, true},
      {"plugins-spell-no-java", {"plugins/", "spell"}, false},
      {"each-sibling-netscape", {"plugins/", "java/", "netscape"}, true},
      {"each-sibling-ad", {"plugins/", "java/", "Netscape.ad"}, true},
      {"each-sibling-communicator", {"plugins/", "java/", "netscape-communicator"}, true},
      {"each-sibling-Netscape", {"plugins/", "java/", "Netscape"}, true},
      {"each-sibling-movemail", {"plugins/", "java/", "movemail"}, true},
      {"each-sibling-movemail-src", {"plugins/", "java/", "movemail-src/"}, true},
      {"each-sibling-registery", {"plugins/", "java/", "registery"}, true},
      {"each-sibling-bookmarks", {"plugins/", "java/", "bookmarks.html"}, true},
      {"each-sibling-XKeysymDB", {"plugins/", "java/", "XKeysymDB"}, true},
      {"not-a-sibling", {"plugins/", "java/", "registry", "bookmarks.htm"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(is_browser_directory(make_dir(c.name, c.contents)), c.browser_home) << c.name;
  EXPECT_FALSE(is_browser_directory(path("missing")));
}

TEST_F(BrowserIdentification, DirectoryVerdictIsRememberedForTheExactString) {
  std::string dir = make_dir("home", {"plugins/", "java/"});
  std::string other = make_dir("other", {"plugins/", "java/", "spell"});
  EXPECT_FALSE(is_browser_directory(dir));
  write_file(dir + "/vreg", "");
  EXPECT_FALSE(is_browser_directory(dir)) << "same string: the remembered verdict";
  EXPECT_TRUE(is_browser_directory(dir + "/")) << "another string is tested afresh";
  EXPECT_TRUE(is_browser_directory(other));
  EXPECT_TRUE(is_browser_directory(dir)) << "the memo holds the last directory only";
}

TEST_F(BrowserIdentification, CandidateNeedsSizeRegularFileAndExecuteBit) {
  std::string home = make_home("ns");
  const struct {
    const char* name;
    off_t size;
    mode_t mode;
    bool added;
  } cases[] = {
      {"one-byte-short", kSmallestBrowserSize - 1, 0755, false},
      {"exact-size", kSmallestBrowserSize, 0755, true},
      {"no-execute-bit", kSmallestBrowserSize, 0644, false},
      {"other-execute-only", kSmallestBrowserSize, 0641, true},
  };
  for (const auto& c : cases) {
    std::string exe = home + "/" + c.name;
    write_file(exe, browser_image(), c.size, c.mode);
    EXPECT_EQ(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr), c.added) << c.name;
  }
  EXPECT_FALSE(add_browser_executable((home + "/plugins").c_str(), std::nullopt, -1, nullptr));
  EXPECT_FALSE(add_browser_executable((home + "/missing").c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(browser_list.size(), 2u);
}

TEST_F(BrowserIdentification, AddedEntryRecordsWhatWasFound) {
  std::string home = make_home("usr-local-netscape");
  std::string exe = make_browser(home, "netscape", '5');
  std::string elsewhere = make_home("opt-ns");
  std::string other_exe = make_browser(make_dir("bin", {}), "netscape", '6');

  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(add_browser_executable(exe.c_str(), std::nullopt, 500, nullptr));
  ASSERT_TRUE(add_browser_executable(other_exe.c_str(), elsewhere, -1, nullptr));
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();

  ASSERT_EQ(browser_list.size(), 2u);
  struct stat st;
  ASSERT_EQ(::stat(exe.c_str(), &st), 0);
  const BrowserEntry& first = browser_list[0];
  EXPECT_EQ(first.exe_path, exe);
  EXPECT_EQ(first.browser_home, home + "/") << "the executable's directory with a slash";
  EXPECT_EQ(first.owner_uid, 500);
  EXPECT_EQ(first.libc_char, '5');
  EXPECT_EQ(first.device, st.st_dev);
  EXPECT_EQ(first.inode, st.st_ino);
  EXPECT_EQ(browser_list[1].browser_home, elsewhere) << "the given home, not the executable's";
  EXPECT_EQ(browser_list[1].owner_uid, -1);
  EXPECT_EQ(err, "Found:\tNetscape as " + exe + " linked to libc.so.5\n" + "Found:\tNetscape as " +
                     other_exe + " linked to libc.so.6\n");
  EXPECT_EQ(out, "Check: if " + exe + " is Netscape\nCheck: if " + other_exe + " is Netscape\n");
}

TEST_F(BrowserIdentification, SameFileTwiceIsOneEntryAndGainsAnOwnerOnce) {
  std::string home = make_home("ns");
  std::string exe = make_browser(home, "netscape");
  std::string link = home + "/netscape-link";
  ASSERT_EQ(::symlink(exe.c_str(), link.c_str()), 0);

  EXPECT_TRUE(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr));
  EXPECT_FALSE(add_browser_executable(link.c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(browser_list[0].owner_uid, -1);
  EXPECT_FALSE(add_browser_executable(link.c_str(), std::nullopt, 500, nullptr));
  EXPECT_EQ(browser_list[0].owner_uid, 500) << "a named entry takes the owner found running";
  EXPECT_FALSE(add_browser_executable(exe.c_str(), std::nullopt, 501, nullptr));
  EXPECT_EQ(browser_list[0].owner_uid, 500) << "the first owner stays";
  ASSERT_EQ(browser_list.size(), 1u);
  EXPECT_EQ(browser_list[0].exe_path, exe);
}

TEST_F(BrowserIdentification, HomeMustPassTheDirectoryTest) {
  // Named "netscape", the executable would itself be the sibling that
  // makes its directory a browser home.
  std::string exe = make_browser(make_dir("bin", {"plugins/", "java/"}), "communicator");
  EXPECT_FALSE(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr));
  EXPECT_FALSE(add_browser_executable(exe.c_str(), path("missing"), -1, nullptr));
  EXPECT_TRUE(add_browser_executable(exe.c_str(), make_home("ns"), -1, nullptr));
}

TEST_F(BrowserIdentification, ContentsDecide) {
  std::string home = make_home("ns");
  const struct {
    const char* name;
    std::string contents;
    char libc;
  } cases[] = {
      {"libc6-no-mozilla", std::string(kElfMagic, 4) + "libc.so.6 MOZILLA", 0},
      {"libc5-before-libc6", std::string(kElfMagic, 4) + "libc.so.5 libc.so.6 MOZILLA_HOME=", '5'},
      {"not-elf", "#!/bin/sh libc.so.6 MOZILLA_HOME=", 0},
  };
  for (const auto& c : cases) {
    std::string exe = home + "/" + c.name;
    write_file(exe, c.contents, kSmallestBrowserSize);
    EXPECT_EQ(executable_libc_char(exe.c_str()), c.libc) << c.name;
    EXPECT_EQ(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr), c.libc != 0) << c.name;
  }
  EXPECT_EQ(executable_libc_char(path("missing").c_str()), 0);
}

TEST_F(BrowserIdentification, BareExecutableIdentifiesNothing) {
  std::string home = make_home("ns");
  std::string exe = make_browser(home, "netscape");
  std::string zeros = home + "/zeros";
  write_file(zeros, std::string(4, '\0') + "libc.so.6 MOZILLA_HOME=", kSmallestBrowserSize);

  package_contents.exe_signature = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(executable_libc_char(exe.c_str()), 0);
  EXPECT_EQ(executable_libc_char(zeros.c_str()), 0) << "four zero bytes match no signature";
  EXPECT_FALSE(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no file is even checked";
  EXPECT_TRUE(browser_list.empty());
}

TEST_F(BrowserIdentification, MarkingRecordsTheFirstOwnerOfAListedBrowser) {
  std::string home = make_home("ns");
  std::string exe = make_browser(home, "netscape");
  std::string unlisted = make_browser(home, "other");
  ASSERT_TRUE(add_browser_executable(exe.c_str(), std::nullopt, -1, nullptr));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(mark_running_instance(exe.c_str(), -1, nullptr));
  EXPECT_FALSE(mark_running_instance(unlisted.c_str(), 500, nullptr));
  EXPECT_TRUE(mark_running_instance(exe.c_str(), 500, nullptr));
  EXPECT_TRUE(mark_running_instance(exe.c_str(), 501, nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Found:\trunning instance of " + exe + "\n");
  EXPECT_EQ(browser_list[0].owner_uid, 500);
  EXPECT_EQ(browser_list.size(), 1u);
}
