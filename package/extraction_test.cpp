#include "package/extraction.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/child_process.h"
#include "testing/test_support/capture_output.h"

// Unpacking, the licence pager, the damaged-member errors and the check before
// removal run against real packages in tests/e2e/extract_*_test.sh and
// install_*_test.sh; here, the error texts for each way a child can end.
TEST(ChildFailureTest, ExitStatusAndSignalAreReportedNormalEndIsNot) {
  const struct {
    const char* script;
    const char* result;
    const char* line;
  } cases[] = {
      {"exit 0", "0", ""},
      {"exit 3", "1", "Error:\tsh exited with status 3\n"},
      {"kill -TERM $$", "1", "Error:\tsh was signaled\n"},
  };
  for (const auto& c : cases) {
    ChildSpec child;
    child.argv = {"sh", "-c", c.script};
    int status = run_child(child);
    Captured result = capture_in_child([&] { std::printf("%d", report_child_failure("sh", status)); });
    EXPECT_EQ(result.out, c.result) << c.script;
    EXPECT_EQ(result.err, c.line) << c.script;
  }
}
