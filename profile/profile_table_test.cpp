#include "profile/profile_table.h"

#include <gtest/gtest.h>

namespace {

TEST(ValueRow, KeepsHandedOutTextsAndTellsEmptyFromUnset) {
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

}  // namespace
