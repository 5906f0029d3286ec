#include "profile/name_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(NameIndex, AgreesWithSortedStringsOnLongSharedPrefixesNulsAndHighBytes) {
  std::vector<std::string> entered;
  for (int n = 0; n < 300; ++n) {
    entered.push_back("a-long-shared-prefix-" + std::to_string(n * 37 % 300));
    if (n % 50 == 0) entered.push_back(std::string(n / 50 + 1, 'z'));
  }
  for (std::string name : {"ab"s, "ab\0"s, "ab\0\0"s, "ab\0x"s, "B"s, "\xe9t\xe9"s, "\xff"s, ""s}) entered.push_back(name);
  NameIndex index;
  std::vector<std::string> sorted;
  for (const std::string& name : entered) {
    // Before entering: the insertion point is where std::lower_bound puts it,
    // comparing bytes as unsigned.
    auto place = std::lower_bound(sorted.begin(), sorted.end(), name, [](const std::string& a, const std::string& b) {
      return std::string_view(a) < std::string_view(b);
    });
    ASSERT_EQ(index.lookup_name(name), ~static_cast<int>(place - sorted.begin())) << name;
    sorted.insert(place, name);
    index.intern_name(name);
  }
  // Numbered in order of entry and found again after every growth.
  for (std::size_t n = 0; n < entered.size(); ++n) {
    EXPECT_EQ(index.intern_name(entered[n]), static_cast<int>(n));
    EXPECT_STREQ(index.name_at(int(n)), entered[n].c_str());
    EXPECT_EQ(index.number_in_sorted_order(int(n)), index.lookup_name(sorted[n]));
  }
  EXPECT_EQ(index.count(), static_cast<int>(entered.size()));
}

}  // namespace
