#include "profile/profile_table.h"

#include <gtest/gtest.h>

namespace {

// A value handed out stays where it is while the row grows around it.
TEST(ValueRow, KeepsHandedOutTextsWhileTheRowGrows) {
  ValueRow row;
  row.set_value(1, "short");
  const char* kept = row.get(1)->c_str();
  row.set_value(1000, "far");
  EXPECT_EQ(row.get(1)->c_str(), kept);
  EXPECT_STREQ(kept, "short");
  EXPECT_EQ(row.get(2), nullptr);
  EXPECT_EQ(row.get(100000), nullptr);
}

}  // namespace
