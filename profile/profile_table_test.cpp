#include "profile/profile_table.h"

#include <gtest/gtest.h>
#include <malloc.h>

namespace profile {

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

// Every section header makes a row holding only its status: such a row
// must stay small (with 256 slots a block, 100,000 headers took 800 MB).
TEST(ProfileTable, ARowWithOneValueTakesLittleMemory) {
  constexpr int rows = 10000;
  std::size_t before = mallinfo2().uordblks;
  ProfileTable table;
  for (int r = 0; r < rows; ++r) table.set_value(r, 0, "read");
  std::size_t used = mallinfo2().uordblks - before;
  if (used == 0) GTEST_SKIP() << "this malloc keeps no statistics (a sanitizer's)";
  EXPECT_LT(used / rows, 1024u);
}

}  // namespace

}  // namespace profile
