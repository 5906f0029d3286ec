#include "core/colon_list.h"

#include <string>

#include "testing/test_support/unit_test.h"

namespace plim {

// Empty items count: PATH's empty entry means the current directory, and
// the settings file pairs the n-th executable with the n-th home.
TEST(ColonList, EveryColonSeparates) {
  struct Row {
    std::string_view list;
    std::vector<std::string_view> items;
  } rows[] = {
      {"", {""}},
      {"/usr/bin", {"/usr/bin"}},
      {"/usr/bin:/bin", {"/usr/bin", "/bin"}},
      {":/bin", {"", "/bin"}},
      {"/bin:", {"/bin", ""}},
      {"a::b", {"a", "", "b"}},
  };
  for (const Row& row : rows) EXPECT_EQ(split_at_colons(row.list), row.items) << row.list;
}

}  // namespace plim
