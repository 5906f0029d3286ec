#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "profile/name_index.h"
#include "profile/profile_table.h"
#include "profile/value_conversion.h"

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
  // Numbered in order of entry, found again after growing by 256 slots.
  EXPECT_EQ(index.capacity(), 512);
  for (std::size_t n = 0; n < entered.size(); ++n) {
    EXPECT_EQ(index.intern_name(entered[n]), static_cast<int>(n));
    EXPECT_STREQ(index.name_at(int(n)), entered[n].c_str());
    EXPECT_EQ(index.number_in_sorted_order(int(n)), index.lookup_name(sorted[n]));
  }
  EXPECT_EQ(index.count(), static_cast<int>(entered.size()));
}

TEST(ValueRow, GrowsInStepsOf256ColumnsAndKeepsHandedOutTexts) {
  const std::pair<int, int> growth[] = {{0, 256}, {254, 256}, {255, 512}, {511, 768}};
  for (auto [column, slots] : growth) {
    ValueRow row;
    row.set_value(column, "v");
    EXPECT_EQ(row.count(), slots) << column;
  }
  ValueRow row;
  row.set_value(3, "");
  ASSERT_NE(row.get(3), nullptr);  // an empty text is not an empty slot
  EXPECT_EQ(row.get(2), nullptr);
  EXPECT_EQ(row.get(100000), nullptr);
  row.set_value(1, "short");
  const char* kept = row.get(1)->c_str();
  row.set_value(1000, "far");
  EXPECT_EQ(row.get(1)->c_str(), kept);
  EXPECT_STREQ(kept, "short");
}

TEST(ValueConversion, IntegersSaturateAndNeedADigit) {
  EXPECT_EQ(leading_integer("  -12x"), -12);
  EXPECT_EQ(leading_integer("99999999999"), 2147483647);
  EXPECT_EQ(leading_integer("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(leading_integer("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(leading_integer("-"), std::nullopt);
  EXPECT_EQ(leading_integer("+-1"), std::nullopt);
  EXPECT_EQ(number_value("+-7"), -7);
  EXPECT_EQ(number_value(" + "), 0);
  EXPECT_EQ(number_value("- 7"), std::nullopt);
}

}  // namespace
