#include "core/install_dirs.h"

#include <cstdlib>
#include <string>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

// Undoing a run removes what it staged and the directories it made, and
// nothing that was there before it.
TEST(InstallDirs, DiscardRemovesOnlyWhatTheRunMade) {
  ScratchDir dir;
  InstallDirs made = InstallDirs::resolve(dir / "new-prefix");
  ASSERT_TRUE(made.create());
  ASSERT_TRUE(made.lock());
  ASSERT_TRUE(made.stage());
  made.discard();
  EXPECT_EQ(tree_listing(dir.path()), "");

  write_file(dir / "kept/Fernhollow-Plim/NetscapePlugin/mine", "old");
  InstallDirs existing = InstallDirs::resolve(dir / "kept/");  // a prefix typed with its slash
  EXPECT_EQ(existing.install_path(), dir / "kept/Fernhollow-Plim/NetscapePlugin");
  ASSERT_TRUE(existing.create());
  ASSERT_TRUE(existing.lock());
  UniqueFd staged = existing.stage();
  write_file(dir / "kept/Fernhollow-Plim/staged-by-hand", "");  // a neighbour the run did not make
  existing.discard();
  EXPECT_EQ(tree_listing(dir / "kept"),
            "Fernhollow-Plim dir\nFernhollow-Plim/NetscapePlugin dir\n"
            "Fernhollow-Plim/NetscapePlugin/mine 0644 old\n"
            "Fernhollow-Plim/staged-by-hand 0644 \"\"\n");
}

// A prefix whose parent is missing cannot be made: the mkdir error names it.
TEST(InstallDirs, MissingParentIsReportedWhenCreating) {
  ScratchDir dir;
  InstallDirs dirs = InstallDirs::resolve(dir / "no/such/prefix");
  EXPECT_TRUE(dirs.ok());
  Captured output = capture_in_child([&] { std::exit(dirs.create() ? 0 : 1); });
  EXPECT_EQ(output.status, 1);
  EXPECT_EQ(output.err,
            "mkdir: No such file or directory\nFailed to created directory " + dir / "no/such/prefix" + "\n");
}

}  // namespace

}  // namespace plim
