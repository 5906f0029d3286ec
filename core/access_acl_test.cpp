#include "core/access_acl.h"

#include "testing/test_support/access_acl_bytes.h"
#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

std::string ids(const auto& list) {
  std::string text;
  for (auto id : list) text += " " + std::to_string(id);
  return text.empty() ? " -" : text;
}

TEST(ParseAccessAcl, TableOfValues) {
  expect_table("core/testdata/access_acl.table", [](const std::vector<std::string>& f) {
    std::optional<std::string> bytes =
        f[0].starts_with("raw") ? f[0].substr(std::min<std::size_t>(4, f[0].size())) : access_acl_bytes(f[0]);
    if (!bytes) return std::string("bad table entry");
    std::optional<AclWriters> writers = parse_access_acl(*bytes);
    if (!writers) return std::string("not understood");
    return "users" + ids(writers->users) + " | groups" + ids(writers->groups);
  });
}

}  // namespace

}  // namespace plim
