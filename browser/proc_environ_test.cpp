#include "browser/proc_environ.h"

#include <gtest/gtest.h>

#include "testing/test_support/scratch_dir.h"

using namespace std::string_literals;

TEST(MozillaHomeInEnviron, TakesTheFirstNonEmptyValue) {
  const struct {
    const char* what;
    std::string environ;
    std::optional<std::string> home;
  } cases[] = {
      {"plain", "PATH=/bin\0MOZILLA_HOME=/opt/ns\0HOME=/root\0"s, "/opt/ns"},
      {"last variable without NUL", "MOZILLA_HOME=/opt/ns"s, "/opt/ns"},
      {"absent", "PATH=/bin\0HOME=/root\0"s, std::nullopt},
      {"inside another name", "XMOZILLA_HOME=/x\0"s, "/x"},
      {"blanks skipped before", "MOZILLA_HOME= \t/opt/ns\0"s, "/opt/ns"},
      {"ends at a blank", "MOZILLA_HOME=/opt/ns extra\0"s, "/opt/ns"},
      {"empty, then a later one after white space", "MOZILLA_HOME=\0A= MOZILLA_HOME=/b\0"s, "/b"},
      {"empty value takes the next variables with it", "MOZILLA_HOME=\0MOZILLA_HOME=/b\0"s, std::nullopt},
      {"empty at the end", "MOZILLA_HOME="s, std::nullopt},
      {"value limited to 1023 bytes", "MOZILLA_HOME=" + std::string(2000, 'a'), std::string(1023, 'a')},
  };
  for (const auto& c : cases) EXPECT_EQ(mozilla_home_in_environ(c.environ), c.home) << c.what;
}

TEST(ReadSmallFile, ReadsAllOrNothing) {
  ScratchDir dir;
  std::string text = std::string(10000, 'e') + "\0MOZILLA_HOME=/x"s;
  write_file(dir.path() + "/environ", text);
  EXPECT_EQ(read_small_file((dir.path() + "/environ").c_str()), text);
  EXPECT_EQ(read_small_file((dir.path() + "/missing").c_str()), std::nullopt);
}
