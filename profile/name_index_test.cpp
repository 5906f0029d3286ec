#include "profile/name_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace profile {

namespace {

using namespace std::string_literals;

// Names of every length up to 20 over the lowest and highest bytes, which
// share their first 8 or 16 bytes and differ in length or past them, and
// names with long shared prefixes: asked before, while and after entering,
// the index must number them in order of entry and place a new one where a
// sorted list of the same names (bytes unsigned) does.
TEST(NameIndex, AgreesWithASortedListOfTheSameNames) {
  std::vector<std::string> entered = {"ab"s, "ab\0"s, "ab\0\0"s, "ab\0x"s, "B"s, "\xe9t\xe9"s, "\xff"s, ""s};
  std::mt19937 random(3);
  for (int n = 0; n < 600; ++n) {
    std::string name(random() % 21, 'a');
    for (char& c : name) c = random() % 4 == 0 ? "\0a\xff"[random() % 3] : 'a';
    entered.push_back(name);
    entered.push_back("a-long-shared-prefix-" + std::to_string(n * 37 % 300));
  }
  NameIndex index;
  std::vector<std::string> sorted, numbered;
  for (const std::string& name : entered) {
    auto place = std::lower_bound(sorted.begin(), sorted.end(), name);
    int number = static_cast<int>(std::find(numbered.begin(), numbered.end(), name) - numbered.begin());
    bool known = number < static_cast<int>(numbered.size());
    ASSERT_EQ(index.lookup_name(name), known ? number : ~static_cast<int>(place - sorted.begin()));
    ASSERT_EQ(index.find_name(name), known ? number : -1);
    if (!known) sorted.insert(place, name), numbered.push_back(name);
    ASSERT_EQ(index.intern_name(name), number);
  }
  ASSERT_EQ(index.count(), static_cast<int>(numbered.size()));
  EXPECT_EQ(index.name_at(index.count()), nullptr);
  for (int n = 0; n < index.count(); ++n) {
    EXPECT_EQ(index.name_at(n), numbered[n].substr(0, numbered[n].find('\0')));
    EXPECT_EQ(index.number_in_sorted_order(n), index.find_name(sorted[n]));
  }
}

}  // namespace

}  // namespace profile
