#include "core/install_dirs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

constexpr char kInstall[] = "prefix/Fernhollow-Plim/NetscapePlugin";

// Stages a tree holding `file` (text `text`) and swaps it in; returns whether
// an old tree was exchanged.
bool install_tree(InstallDirs& dirs, const char* file, const char* text) {
  EXPECT_TRUE(dirs.create());
  EXPECT_TRUE(dirs.lock());
  UniqueFd staged = dirs.stage();
  EXPECT_TRUE(staged);
  UniqueFd out(::openat(staged.get(), file, O_WRONLY | O_CREAT | O_EXCL, 0644));
  EXPECT_EQ(::write(out.get(), text, std::strlen(text)), static_cast<ssize_t>(std::strlen(text)));
  bool failed = true;
  bool replaced = dirs.swap_in(failed);
  EXPECT_FALSE(failed);
  return replaced;
}

// A first installation is renamed into place, an upgrade exchanged with the
// old tree, which then goes; no staged name is left either way.
TEST(InstallDirs, FirstInstallationThenUpgradeLeaveOneWholeTree) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "prefix").c_str(), 0755), 0);
  {
    InstallDirs first = InstallDirs::resolve(dir / "prefix");
    EXPECT_FALSE(first.installed());
    EXPECT_FALSE(install_tree(first, "old", "1"));
    EXPECT_TRUE(first.installed());
  }
  InstallDirs upgrade = InstallDirs::resolve(dir / "prefix/");
  EXPECT_EQ(upgrade.install_path(), dir / kInstall);
  EXPECT_TRUE(upgrade.installed());
  EXPECT_TRUE(install_tree(upgrade, "new", "2"));
  EXPECT_EQ(read_file(dir / kInstall + "/new"), "2");
  upgrade.remove_replaced();
  EXPECT_EQ(tree_listing(dir / "prefix"),
            "Fernhollow-Plim dir\nFernhollow-Plim/NetscapePlugin dir\n"
            "Fernhollow-Plim/NetscapePlugin/new 0644 2\n");
}

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
  InstallDirs existing = InstallDirs::resolve(dir / "kept");
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

// One run at a time: a second lock on the same installation is refused at
// once; the holder's staged tree is not the second's to remove. A staged
// tree left by a run that died goes when the lock is next taken.
TEST(InstallDirs, LockKeepsASecondRunOutAndClearsWhatDeadRunsStaged) {
  ScratchDir dir;
  write_file(dir / "prefix/Fernhollow-Plim/.NetscapePlugin.staged-1/half", "x");
  InstallDirs holder = InstallDirs::resolve(dir / "prefix");
  ASSERT_TRUE(holder.create());
  ASSERT_TRUE(holder.lock());
  EXPECT_EQ(::access((dir / "prefix/Fernhollow-Plim/.NetscapePlugin.staged-1").c_str(), F_OK), -1);
  ASSERT_TRUE(holder.stage());

  InstallDirs second = InstallDirs::resolve(dir / "prefix");
  ASSERT_TRUE(second.create());
  Captured output = capture_in_child([&] { std::exit(second.lock() ? 0 : 1); });
  EXPECT_EQ(output.status, 1);
  EXPECT_EQ(output.err, "Error:\tAnother run is changing " + dir / "prefix/Fernhollow-Plim" +
                            "; try again when it has ended\n");
  EXPECT_EQ(
      ::access((dir / "prefix/Fernhollow-Plim/.NetscapePlugin.staged-" + std::to_string(::getpid())).c_str(),
               F_OK),
      0);
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
