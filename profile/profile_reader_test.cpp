#include "profile/profile_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace profile {

namespace {

// A stream can hold more line breaks than an int counts: the count stays at
// INT_MAX instead of overflowing into negative line numbers.
TEST(ProfileReader, LineCountStopsAtIntMax) {
  NameIndex option_names, profile_names;
  ProfileTable profiles;
  MessageQueue messages;
  int status_column = option_names.intern_name("profile:");
  profiles.ensure_rows(profile_names.intern_name("global") + 1);
  ProfileStore store{option_names, profile_names, profiles, messages, nullptr, status_column};

  std::istringstream text("# a comment\n\n'x\nname\n:\n");
  StreamByteSource file(text);
  int line = INT_MAX - 2;
  read_profile_file(file, line, 0, store);
  EXPECT_EQ(line, INT_MAX);
  ASSERT_TRUE(messages.has_messages());
  EXPECT_STREQ(messages.pop_message(), "(null):Error in line 2147483647 of profile 'global'\n\t--> 'x");
}

}  // namespace

}  // namespace profile
