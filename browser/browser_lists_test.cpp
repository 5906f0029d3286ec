#include <utility>

#include "browser/browser_discovery.h"
#include "core/browser_list.h"
#include "testing/test_support/browser_fixture.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// The pairing rules of the a:b:c / x, a / x:y and "a:" / x:y:z cases run in
// the case tests/cases/root-lists-pairs, and a scan of directories that are
// no browser home in root-scan-homes; here, the remaining list forms.
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// (exe_path, browser_home) of every entry, in list order.
Pairs entries(const BrowserList& list) {
  Pairs found;
  for (const BrowserEntry& entry : list) found.emplace_back(entry.exe_path, entry.browser_home);
  return found;
}

using BrowserLists = BrowserFixture;

TEST_F(BrowserLists, NoOrEmptyItemsAndScans) {
  std::string x = make_home("x"), y = make_home("y");
  std::string in_x = make_browser(x, "netscape"), in_y = make_browser(y, "netscape");
  make_browser(y, "small", '6', kSmallestBrowserSize - 1);
  // No executable list: every directory is scanned.
  EXPECT_TRUE(add_browsers_from_lists(list_, own_, std::nullopt, x + ":" + y));
  EXPECT_FALSE(scan_browser_directory(list_, own_, y)) << "nothing new the second time";
  std::string home = make_home("ns");
  std::string a = make_browser(home, "a"), b = make_browser(home, "b");
  // An empty directory item is none: the executable's own directory is used.
  EXPECT_TRUE(add_browsers_from_lists(list_, own_, a, std::string_view("")));
  // An empty executable that is not the last adds nothing and scans nothing.
  EXPECT_TRUE(add_browsers_from_lists(list_, own_, ":" + b, x + ":" + x));
  EXPECT_EQ(entries(list_), (Pairs{{in_x, x}, {in_y, y}, {a, home + "/"}, {b, x}}));
  EXPECT_FALSE(add_browsers_from_lists(list_, own_, std::nullopt, std::nullopt));
  EXPECT_FALSE(add_browsers_from_lists(list_, own_, a, std::nullopt)) << "already listed";
}

}  // namespace

}  // namespace plim
