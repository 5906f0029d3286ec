#include "installer/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProgramBaseNameTest, PartAfterTheLastSlash) {
  const struct {
    const char* path;
    const char* base;
  } cases[] = {
      {"/opt/Fernhollow-Plim/NetscapePlugin/uninstall", "uninstall"},
      {"./package", "package"},
      {"install", "install"},
      {"dir/", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    const char* base = program_base_name(c.path);
    EXPECT_STREQ(base, c.base) << c.path;
    // It points into the path: nothing is copied.
    EXPECT_EQ(base, c.path + std::string(c.path).size() - std::string(c.base).size()) << c.path;
  }
}

}  // namespace
