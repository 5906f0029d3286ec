#include "package/extraction.h"

#include "core/child_process.h"
#include "testing/test_support/unit_test.h"

// Unpacking, the licence pager, the damaged-member errors and the check before
// removal run against real packages in tests/e2e/extract_*_test.sh and
// install_*_test.sh; here, the error texts for each way a child can end.
TEST(ChildFailureTest, ExitStatusAndSignalAreReportedNormalEndIsNot) {
  expect_table("package/testdata/child_failure.table", [](const std::vector<std::string>& f) {
    ChildSpec child;
    child.argv = {"sh", "-c", f[0]};
    int status = run_child(child);
    Captured result = capture_in_child([&] { std::printf("%d", report_child_failure("sh", status)); });
    return result.out + ", " + escaped(result.err);
  });
}
