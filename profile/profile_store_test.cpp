#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "profile/message_queue.h"
#include "profile/name_index.h"
#include "profile/profile_table.h"
#include "profile/value_conversion.h"

namespace {

TEST(NameIndex, NumbersInOrderOfEntryAndFindsAllAfterGrowth) {
  NameIndex index;
  // Entered in an order unrelated to their sorted order.
  auto name = [](int n) { return "name" + std::to_string((n * 7919) % 1000); };
  for (int n = 0; n < 300; ++n) ASSERT_EQ(index.intern_name(name(n)), n);
  EXPECT_EQ(index.count(), 300);
  EXPECT_EQ(index.capacity(), 512);
  for (int n = 0; n < 300; ++n) {
    EXPECT_EQ(index.lookup_name(name(n)), n);
    EXPECT_EQ(index.name_at(n), name(n));
  }
  // Sorted order is byte order.
  for (int rank = 1; rank < index.count(); ++rank) {
    EXPECT_LT(std::string(index.name_at(index.number_in_sorted_order(rank - 1))),
              std::string(index.name_at(index.number_in_sorted_order(rank))));
  }
}

TEST(NameIndex, AgreesWithSortedStringsOnLongSharedPrefixesAndNuls) {
  using namespace std::string_literals;
  std::vector<std::string> entered;
  for (int n = 0; n < 300; ++n) {
    entered.push_back("a-long-shared-prefix-" + std::to_string(n * 37 % 300));
    if (n % 50 == 0) entered.push_back(std::string(n / 50 + 1, 'z'));
  }
  for (std::string name : {"ab"s, "ab\0"s, "ab\0\0"s, "ab\0x"s, "\xff"s, ""s}) entered.push_back(name);
  NameIndex index;
  std::vector<std::string> sorted;
  for (const std::string& name : entered) {
    // Before entering: the insertion point is where std::lower_bound puts it.
    auto place = std::lower_bound(sorted.begin(), sorted.end(), name,
                                  [](const std::string& a, const std::string& b) {
                                    return std::string_view(a) < std::string_view(b);
                                  });
    ASSERT_EQ(index.lookup_name(name), ~static_cast<int>(place - sorted.begin())) << name;
    sorted.insert(place, name);
    index.intern_name(name);
  }
  for (std::size_t n = 0; n < entered.size(); ++n) {
    EXPECT_EQ(index.lookup_name(entered[n]), static_cast<int>(n));
  }
  EXPECT_LT(index.lookup_name("a-long-shared-prefix-1000"), 0);
}

TEST(NameIndex, SecondEntryGivesSameNumber) {
  NameIndex index;
  EXPECT_EQ(index.intern_name("prefix"), 0);
  EXPECT_EQ(index.intern_name("quiet"), 1);
  EXPECT_EQ(index.intern_name("prefix"), 0);
  EXPECT_EQ(index.count(), 2);
  EXPECT_EQ(index.capacity(), 256);
}

TEST(NameIndex, MissingNamesGiveComplementOfInsertionPoint) {
  NameIndex index;
  EXPECT_EQ(index.lookup_name("x"), -1);
  for (const char* name : {"b", "d", "f"}) index.intern_name(name);
  EXPECT_EQ(index.lookup_name("a"), -1);
  EXPECT_EQ(index.lookup_name("c"), -2);
  EXPECT_EQ(index.lookup_name("e"), -3);
  EXPECT_EQ(index.lookup_name("g"), -(index.count() + 1));
  // Case and high bytes: bytes compare as unsigned.
  index.intern_name("B");
  index.intern_name("\xe9t\xe9");
  EXPECT_EQ(index.lookup_name("B"), 3);
  EXPECT_EQ(index.number_in_sorted_order(0), 3);
  EXPECT_EQ(index.number_in_sorted_order(index.count() - 1), 4);
  EXPECT_EQ(index.name_at(-1), nullptr);
  EXPECT_EQ(index.name_at(index.count()), nullptr);
}

TEST(ValueRow, GrowsInStepsOf256Columns) {
  struct Case {
    int column;
    int slots;
  };
  for (Case c : {Case{0, 256}, Case{254, 256}, Case{255, 512}, Case{511, 768}}) {
    ValueRow row;
    row.set_value(c.column, "v");
    EXPECT_EQ(row.count(), c.slots) << c.column;
    EXPECT_EQ(*row.get(c.column), "v");
  }
}

TEST(ValueRow, EmptySlotDiffersFromEmptyTextAndStaysPutOnGrowth) {
  ValueRow row;
  row.set_value(-1, "ignored");
  EXPECT_EQ(row.count(), 0);
  row.set_value(3, "");
  ASSERT_NE(row.get(3), nullptr);
  EXPECT_EQ(*row.get(3), "");
  EXPECT_EQ(row.get(2), nullptr);
  EXPECT_EQ(row.get(-1), nullptr);
  EXPECT_EQ(row.get(100000), nullptr);
  row.set_value(1, "short");
  const char* kept = row.get(1)->c_str();
  row.set_value(1000, "far");
  EXPECT_EQ(row.get(1)->c_str(), kept);  // handed-out texts survive growth
  EXPECT_STREQ(kept, "short");
}

TEST(ProfileTable, RowsGrowOnDemandAndNegativeWritesAreIgnored) {
  ProfileTable table;
  EXPECT_TRUE(table.ensure_rows(2));
  EXPECT_FALSE(table.ensure_rows(2));
  EXPECT_FALSE(table.ensure_rows(1));
  table.set_value(4, 1, "x");
  EXPECT_EQ(table.row_count(), 5);
  EXPECT_EQ(*table.get(4, 1), "x");
  table.set_value(-1, 0, "x");
  table.set_value(0, -1, "x");
  EXPECT_EQ(table.row_count(), 5);
  EXPECT_EQ(table.get(0, 0), nullptr);
  EXPECT_EQ(table.get(9, 0), nullptr);
}

TEST(MessageQueue, FirstInFirstOutAndNoneWhenEmpty) {
  MessageQueue queue;
  EXPECT_EQ(queue.pop_message(), nullptr);
  EXPECT_FALSE(queue.has_messages());
  EXPECT_EQ(queue.push_message("one"), "one");
  queue.push_message("two");
  EXPECT_TRUE(queue.has_messages());
  EXPECT_STREQ(queue.pop_message(), "one");
  EXPECT_STREQ(queue.pop_message(), "two");
  EXPECT_EQ(queue.pop_message(), nullptr);
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
