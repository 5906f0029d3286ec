#include "installer/install_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"

// Creating directories and the prefix question run in the sandbox:
// tests/e2e/prefix_question_test.sh and extract_mode_test.sh.
namespace {

TEST(SetPrefixTest, DerivesBothDirectoriesOrClearsAllThree) {
  const struct {
    std::optional<std::string> given, prefix, vendor_dir, install_dir;
  } cases[] = {
      {"/opt", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      {"/opt/", "/opt", "/opt/Fernhollow-Plim", "/opt/Fernhollow-Plim/NetscapePlugin"},
      // Only one trailing slash goes.
      {"/opt//", "/opt/", "/opt//Fernhollow-Plim", "/opt//Fernhollow-Plim/NetscapePlugin"},
      // The root directory is a prefix like any other.
      {"/", "/", "/Fernhollow-Plim", "/Fernhollow-Plim/NetscapePlugin"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    set_prefix("/previous");
    set_prefix(c.given);
    EXPECT_EQ(settings.prefix, c.prefix) << c.given.value_or("none");
    EXPECT_EQ(settings.vendor_dir, c.vendor_dir) << c.given.value_or("none");
    EXPECT_EQ(settings.install_dir, c.install_dir) << c.given.value_or("none");
  }
}

struct PathCase {
  const char* path;
  const char* base;
  const char* expected;
};

TEST(AbsolutePathTest, ListElementsGetTheBaseUnlessAbsolute) {
  const PathCase cases[] = {
      {"/a:b:/c:d", "/home/u", "/a:/home/u/b:/c:/home/u/d"},
      {"a:b", "/", "/a:/b"},
      {"a:", "/w", "/w/a:"},  // an empty element stays empty
      // A colon in the start directory's name is not a separator.
      {"a:b", "/x:y", "/x:y/a:/x:y/b"},
      {"/a:b", "/x:y", "/a:/x:y/b"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(absolute_path_list(c.path, c.base), c.expected) << c.path;
}

}  // namespace
