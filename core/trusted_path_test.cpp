#include "core/trusted_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "testing/test_support/unit_test.h"

namespace {

constexpr uid_t kAlice = 1500, kBob = 1501;

void make_dir(const std::string& path, uid_t owner, gid_t group, mode_t mode) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

void make_link(const std::string& target, const std::string& path, uid_t owner) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  ASSERT_EQ(::lchown(path.c_str(), owner, owner), 0);
}

// The ways through every kind of directory and link the walk tells apart.
void build_tree(const ScratchDir& s) {
  ASSERT_EQ(::chmod(s.path().c_str(), 0755), 0);
  make_dir(s / "root", 0, 0, 0755);
  make_dir(s / "root/sub", 0, 0, 0755);
  write_file(s / "root/file", "x");
  make_dir(s / "alice", kAlice, kAlice, 0755);
  make_dir(s / "alice/dir", kAlice, kAlice, 0755);
  make_link(s / "root", s / "alice/toroot", kAlice);
  make_link("../bob", s / "alice/tobob", kAlice);
  make_dir(s / "bob", kBob, kBob, 0755);
  make_dir(s / "locked", 0, 0, 0700);
  make_dir(s / "locked/in", 0, 0, 0755);
  make_link(s / "locked/in", s / "alice/tolocked", kAlice);
  make_dir(s / "open", 0, 0, 0777);
  make_dir(s / "sticky", 0, 0, 01777);
  make_dir(s / "sticky/rootdir", 0, 0, 0755);
  make_dir(s / "sticky/alicedir", kAlice, kAlice, 0755);
  make_dir(s / "group", 0, 64999, 0775);  // a group no account belongs to
  make_dir(s / "group0", 0, 0, 0775);
  make_link("root/sub", s / "rel", 0);
  make_link(s / "alice", s / "abs", 0);
  make_link("loop", s / "loop", 0);
  make_link("alice/dir/../toroot/", s / "chain", 0);
}

std::string describe(const ReachedPath& reached, const std::string& scratch) {
  if (!reached.refusal.empty()) return "refused: " + reached.refusal;
  if (!reached.dir) return std::string("error: ") + std::strerror(reached.error);
  char target[4096];
  std::string proc = "/proc/self/fd/" + std::to_string(reached.dir.get());
  ssize_t length = ::readlink(proc.c_str(), target, sizeof target - 1);
  std::string dir(target, length > 0 ? length : 0);
  if (dir.starts_with(scratch)) dir = "S" + dir.substr(scratch.size());
  return dir + " | " + reached.name + " | " + std::to_string(reached.controller);
}

TEST(ReachPath, TableOfWays) {
  if (::geteuid() != 0) GTEST_SKIP() << "owners other than the tester need root";
  ScratchDir s;
  build_tree(s);
  expect_table("core/testdata/trusted_path.table", [&](const std::vector<std::string>& f) {
    std::string path = f[0].starts_with("S") ? s.path() + f[0].substr(1) : f[0];
    LastLink last = f[1] == "follow" ? LastLink::follow : LastLink::keep;
    if (f.size() > 2)
      return describe(reach_path_at(reach_path(path, LastLink::follow), f[2], last), s.path());
    return describe(reach_path(path, last), s.path());
  });
}

}  // namespace
