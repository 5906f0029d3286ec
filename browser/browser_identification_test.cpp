#include <sys/stat.h>

#include "browser/browser_discovery.h"
#include "core/browser_list.h"
#include "testing/test_support/browser_fixture.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// The directory test, the size limit, the libc character and the bare
// executable that identifies nothing are shown with stand-ins in
// tests/cases/root-scan-homes, root-search-files and root-search-bare.
using BrowserIdentification = BrowserFixture;

TEST_F(BrowserIdentification, ACandidateIsAnExecutableFileWithTheOwnSignature) {
  std::string home = make_home("ns");
  const struct {
    const char* name;
    std::string contents;
    mode_t mode;
    bool added;
  } cases[] = {
      {"netscape", browser_image(), 0755, true},
      {"no-execute-bit", browser_image(), 0644, false},
      {"other-execute-only", browser_image(), 0641, true},
      {"script", "#!/bin/sh libc.so.6 MOZILLA_HOME=", 0755, false},
  };
  for (const auto& c : cases) {
    write_file(home + "/" + c.name, c.contents, kSmallestBrowserSize, c.mode);
    EXPECT_EQ(add_browser_executable(list_, own_, (home + "/" + c.name).c_str(), std::nullopt, -1, nullptr),
              c.added)
        << c.name;
  }
  EXPECT_FALSE(add_browser_executable(list_, own_, (home + "/plugins").c_str(), std::nullopt, -1, nullptr));
  EXPECT_FALSE(add_browser_executable(list_, own_, (home + "/missing").c_str(), std::nullopt, -1, nullptr));
  EXPECT_EQ(list_.size(), 2u);

  // A bare executable's signature is zero: it identifies nothing, not even a
  // file that starts with four zero bytes.
  own_.exe_signature = 0;
  write_file(home + "/zeros", std::string(4, '\0') + "libc.so.6 MOZILLA_HOME=", kSmallestBrowserSize, 0755);
  EXPECT_EQ(executable_libc_char(own_, (home + "/zeros").c_str()), 0);
}

}  // namespace plim
