#include "browser/proc_environ.h"

#include "testing/test_support/unit_test.h"

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
  EXPECT_EQ(read_small_file((dir / "environ").c_str()), text);
  EXPECT_EQ(read_small_file((dir / "missing").c_str()), std::nullopt);
}
