#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "browser/browser_discovery.h"
#include "browser/browser_list.h"
#include "browser/browser_test_files.h"

namespace {

class BrowserLists : public BrowserFixture {
 protected:
  // (exe_path, browser_home) of every entry, in list order.
  static std::vector<std::pair<std::string, std::string>> entries() {
    std::vector<std::pair<std::string, std::string>> found;
    for (const BrowserEntry& entry : browser_list) found.emplace_back(entry.exe_path, entry.browser_home);
    return found;
  }
  using Pairs = std::vector<std::pair<std::string, std::string>>;
};

}  // namespace

TEST_F(BrowserLists, ShortDirectoryListReusesItsLastItem) {
  std::string bin = make_dir("bin", {});
  std::string a = make_browser(bin, "a"), b = make_browser(bin, "b"), c = make_browser(bin, "c");
  std::string x = make_home("x");
  EXPECT_TRUE(add_browsers_from_lists(a + ":" + b + ":" + c, x));
  EXPECT_EQ(entries(), (Pairs{{a, x}, {b, x}, {c, x}}));
}

TEST_F(BrowserLists, ShortExecutableListTriesFurtherDirectoriesUntilAdded) {
  std::string a = make_browser(make_dir("bin", {}), "a");
  std::string not_home = make_dir("x", {"plugins/"});
  std::string y = make_home("y"), z = make_home("z");
  EXPECT_TRUE(add_browsers_from_lists(a, not_home + ":" + y + ":" + z));
  EXPECT_EQ(entries(), (Pairs{{a, y}})) << "added once, with the first home that passes";
}

TEST_F(BrowserLists, EmptyLastExecutableScansItsDirectories) {
  std::string a = make_browser(make_dir("bin", {}), "a");
  std::string x = make_home("x"), y = make_home("y"), z = make_home("z");
  std::string in_x = make_browser(x, "netscape");
  std::string in_y = make_browser(y, "netscape");
  std::string in_z = make_browser(z, "communicator", '5');
  EXPECT_TRUE(add_browsers_from_lists(a + ":", x + ":" + y + ":" + z));
  EXPECT_EQ(entries(), (Pairs{{a, x}, {y + "/netscape", y}, {z + "/communicator", z}}))
      << "x is paired with a and not scanned";
  EXPECT_EQ(browser_list[2].libc_char, '5');
}

TEST_F(BrowserLists, NoExecutableListScansEveryDirectory) {
  std::string x = make_home("x"), y = make_home("y");
  make_browser(x, "netscape");
  make_browser(y, "netscape");
  EXPECT_TRUE(add_browsers_from_lists(std::nullopt, x + ":" + y));
  EXPECT_EQ(entries(), (Pairs{{x + "/netscape", x}, {y + "/netscape", y}}));
}

TEST_F(BrowserLists, EmptyItemsAndMissingDirectories) {
  std::string home = make_home("ns");
  std::string a = make_browser(home, "a"), b = make_browser(home, "b");
  std::string x = make_home("x");
  // An empty directory item is none: the executable's own directory is used.
  EXPECT_TRUE(add_browsers_from_lists(a, std::string_view("")));
  // An empty executable that is not the last adds nothing and scans nothing.
  EXPECT_TRUE(add_browsers_from_lists(":" + b, x + ":" + x));
  EXPECT_EQ(entries(), (Pairs{{a, home + "/"}, {b, x}}));
  EXPECT_FALSE(add_browsers_from_lists(std::nullopt, std::nullopt));
  EXPECT_FALSE(add_browsers_from_lists(a, std::nullopt)) << "already listed";
}

TEST_F(BrowserLists, ScanAddsEveryBrowserOfAHome) {
  std::string home = make_home("ns");
  std::string netscape = make_browser(home, "netscape");
  make_browser(home, "small", '6', kSmallestBrowserSize - 1);
  EXPECT_TRUE(scan_browser_directory(home));
  EXPECT_FALSE(scan_browser_directory(home)) << "nothing new the second time";
  EXPECT_EQ(entries(), (Pairs{{netscape, home}}));
  std::string not_home = make_dir("bin", {"plugins/", "java/"});
  make_browser(not_home, "communicator");
  EXPECT_FALSE(scan_browser_directory(not_home));
}
