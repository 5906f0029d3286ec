#include "core/paths.h"

#include <unistd.h>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

TEST(Paths, TableOfCases) {
  expect_table("core/testdata/paths.table", [](const std::vector<std::string>& f) {
    return escaped(f[0] == "directory_of" ? directory_of(f[1]) : absolute_path(f[1], f[2]));
  });
}

TEST(ReadSymlink, GivesTheTargetOrNoneForOtherFiles) {
  ScratchDir dir;
  std::string long_target(4000, 'x');  // near the longest target a link can hold
  ASSERT_EQ(::symlink("/opt/ns/netscape", (dir / "first").c_str()), 0);
  ASSERT_EQ(::symlink(long_target.c_str(), (dir / "second").c_str()), 0);
  write_file(dir / "plain", "text");
  EXPECT_EQ(read_symlink((dir / "first").c_str()), "/opt/ns/netscape");
  EXPECT_EQ(read_symlink((dir / "second").c_str()), long_target);
  EXPECT_EQ(read_symlink((dir / "plain").c_str()), std::nullopt);
  EXPECT_EQ(read_symlink((dir / "missing").c_str()), std::nullopt);
}

TEST(CurrentDirectory, ReturnsPathsLongerThanTheFirstBuffer) {
  ScratchDir dir;
  Captured run = capture_in_child([&] {
    std::string expected = dir.path(), level(200, 'd');
    // 50 levels of 201 characters: well beyond the first buffer of 4096.
    if (::chdir(expected.c_str()) != 0) return;
    for (int i = 0; i < 50 && ::mkdir(level.c_str(), 0755) == 0 && ::chdir(level.c_str()) == 0; ++i)
      expected += "/" + level;
    std::printf("%zu %d", expected.size(), current_directory() == expected);
  });
  EXPECT_EQ(run.out, std::to_string(dir.path().size() + std::size_t{50} * 201) + " 1");
}

}  // namespace

}  // namespace plim
