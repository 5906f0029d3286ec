#include "browser/proc_environ.h"

#include "testing/test_support/unit_test.h"

namespace plim {

using namespace std::string_literals;

TEST(MozillaHomeInEnviron, TableOfCases) {
  expect_table("browser/testdata/environ.table", [](const std::vector<std::string>& f) {
    return mozilla_home_in_environ(f[0]).value_or("none");
  });
  EXPECT_EQ(mozilla_home_in_environ("MOZILLA_HOME=" + std::string(2000, 'a')), std::string(1023, 'a'));
}

TEST(ReadSmallFile, ReadsAllOrNothing) {
  ScratchDir dir;
  std::string text = std::string(10000, 'e') + "\0MOZILLA_HOME=/x"s;
  write_file(dir / "environ", text);
  EXPECT_EQ(read_small_file((dir / "environ").c_str(), 1 << 20), text);
  EXPECT_EQ(read_small_file((dir / "environ").c_str(), 5000), text.substr(0, 5000));
  EXPECT_EQ(read_small_file((dir / "missing").c_str(), 1 << 20), std::nullopt);
}

TEST(RealUidInStatus, FirstFieldOfTheUidLine) {
  const std::pair<std::string, int> cases[] = {
      {"Name:\tx\nUmask:\t0022\nUid:\t1500\t0\t0\t0\nGid:\t0\n", 1500},
      {"Name:\tx\nUid:\t0\t1500\t1500\t1500\n", 0},
      {"Name:\tUid:\t7\nUid:\t42\t42\t42\t42\n", 42},  // a name cannot pass for the line
      {"Name:\tx\nGid:\t0\n", -1},
      {"Name:\tx\nUid:\t\n", -1},
      {"Name:\tx\nUid:\t99999999999\n", -1},
  };
  for (const auto& [status, uid] : cases) EXPECT_EQ(real_uid_in_status(status), uid) << status;
}

}  // namespace plim
