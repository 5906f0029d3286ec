#include "core/printable.h"

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

TEST(Printable, TableOfCases) {
  expect_table("core/testdata/printable.table",
               [](const std::vector<std::string>& f) { return escaped(printable(f[0])); });
}

}  // namespace

}  // namespace plim
