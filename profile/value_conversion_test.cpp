#include "profile/value_conversion.h"

#include <gtest/gtest.h>

namespace {

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
