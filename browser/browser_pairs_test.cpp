#include "browser/browser_pairs.h"

#include <string>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// "exe|home|last" for each pair, blank-separated.
std::string pairs_of(std::string_view exes, std::string_view homes) {
  std::string shown;
  for (const BrowserPair& pair : pair_browser_lists(exes, homes))
    shown += (shown.empty() ? "" : " ") + std::string(pair.exe) + "|" + std::string(pair.home) + "|" +
             (pair.last_exe ? "last" : "-");
  return shown;
}

}  // namespace

TEST(BrowserPairs, TheShorterListsLastItemStandsIn) {
  struct Row {
    std::string_view exes, homes, pairs;
  } rows[] = {
      {"", "", "||last"},
      {"/a/nets", "", "/a/nets||last"},
      {"/a/nets:/b/nets", "/h", "/a/nets|/h|- /b/nets|/h|last"},
      {"/a/nets", "/h:/k", "/a/nets|/h|last /a/nets|/k|last"},
      {"", "/h:/k", "|/h|last |/k|last"},  // no executables: every home is scanned
      {":/b/nets", "/h", "|/h|- /b/nets|/h|last"},
      {"/a/nets:/b/nets", "/h:", "/a/nets|/h|- /b/nets||last"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(pairs_of(row.exes, row.homes), row.pairs) << row.exes << " " << row.homes;
}

}  // namespace plim
