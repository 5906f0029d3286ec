#include "core/trusted_path.h"

#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

#include "testing/test_support/access_acl_bytes.h"
#include "testing/test_support/unit_test.h"

namespace plim {

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

// The walk's outcome as every caller reads it: refused; failed, "missing"
// when for want of the way (a removal has nothing to do); or the directory
// reached and the name in it, and after a walk that followed the last link
// the error a name created there meets when it is no directory reached
// whole.
std::string describe(const ReachedPath& reached, const std::string& scratch, const char* shown = "S",
                     LastLink last = LastLink::kKeep) {
  if (reached.refused())
    return "refused: " + reached.refusal + (reached.directory_error() ? "" : " | no directory error");
  if (reached.failed())
    return (reached.missing() ? "missing: " : "error: ") + std::string(std::strerror(reached.error));
  char target[4096];
  std::string proc = "/proc/self/fd/" + std::to_string(reached.dir.get());
  ssize_t length = ::readlink(proc.c_str(), target, sizeof target - 1);
  std::string dir(target, length > 0 ? length : 0);
  if (dir.starts_with(scratch)) dir = shown + dir.substr(scratch.size());
  std::string text = dir + " | " + reached.name + " | " + std::to_string(reached.controller);
  if (int error = reached.directory_error(); error && last == LastLink::kFollow)
    text += " | " + std::string(std::strerror(error));
  return text;
}

TEST(ReachPath, TableOfWays) {
  if (::geteuid() != 0) GTEST_SKIP() << "owners other than the tester need root";
  ScratchDir s;
  build_tree(s);
  expect_table("core/testdata/trusted_path.table", [&](const std::vector<std::string>& f) {
    std::string path = f[0].starts_with("S") ? s.path() + f[0].substr(1) : f[0];
    LastLink last = f[1] == "follow" ? LastLink::kFollow : LastLink::kKeep;
    if (f.size() > 2)
      return describe(reach_path_at(reach_path(path, LastLink::kFollow), f[2], last), s.path(), "S", last);
    return describe(reach_path(path, last), s.path(), "S", last);
  });
}

// Gives `path` the ACL `entries` ("default:" first: a default ACL). False
// when the file system keeps no ACLs.
bool set_acl(const std::string& path, std::string entries) {
  const char* name = "system.posix_acl_access";
  if (entries.starts_with("default:")) {
    name = "system.posix_acl_default";
    entries.erase(0, 8);
  }
  std::optional<std::string> bytes = access_acl_bytes(entries);
  EXPECT_TRUE(bytes) << entries;
  if (!bytes) return true;
  if (::setxattr(path.c_str(), name, bytes->data(), bytes->size(), 0) == 0) return true;
  EXPECT_EQ(errno, ENOTSUP) << entries << ": " << std::strerror(errno);
  return false;
}

// Each row makes a directory D of its own, with the owner, mode and ACL the
// row gives and a subdirectory "sub" of root's that only its owner may read,
// and reaches a path below D. Write access an ACL grants counts like the
// owner's, and the walk reads the ACL of "sub" as whoever it walks as.
TEST(ReachPath, TableOfAccessAcls) {
  if (::geteuid() != 0) GTEST_SKIP() << "owners other than the tester need root";
  ScratchDir s;
  ASSERT_EQ(::chmod(s.path().c_str(), 0755), 0);
  int row_number = 0;
  bool kept = true;
  expect_table("core/testdata/trusted_path_acl.table", [&](const std::vector<std::string>& f) {
    std::string dir = s / std::to_string(++row_number);
    uid_t owner = f[0] == "alice" ? kAlice : 0;
    make_dir(dir, owner, owner, static_cast<mode_t>(std::stoul(f[1], nullptr, 8)));
    make_dir(dir + "/sub", 0, 0, 0711);
    if (f[2] != "-") kept = kept && set_acl(dir, f[2]);
    return describe(reach_path(dir + "/" + f[3], LastLink::kKeep), dir, "D");
  });
  if (!kept) GTEST_SKIP() << "the scratch directory's file system keeps no ACLs";
}

}  // namespace

}  // namespace plim
