#include "core/tree_removal.h"

#include <fcntl.h>
#include <unistd.h>

#include "core/unique_fd.h"
#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// The tree goes whole; links in it go as links, so what they lead to stays.
TEST(RemoveTreeAt, RemovesTheTreeButNothingItsLinksLeadTo) {
  ScratchDir dir;
  write_file(dir / "outside/kept", "kept");
  write_file(dir / "tree/a/b/file", "x");
  write_file(dir / "tree/top", "y");
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "tree/a/to_outside").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "link").c_str()), 0);
  UniqueFd at(::open(dir.path().c_str(), O_PATH | O_DIRECTORY));

  EXPECT_TRUE(remove_tree_at(at.get(), "tree"));
  EXPECT_TRUE(remove_tree_at(at.get(), "link"));
  EXPECT_TRUE(remove_tree_at(at.get(), "missing"));
  EXPECT_EQ(tree_listing(dir.path()), "outside dir\noutside/kept 0644 kept\n");
}

}  // namespace

}  // namespace plim
