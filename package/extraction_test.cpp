#include "package/extraction.h"

#include "core/child_process.h"
#include "testing/test_support/unit_test.h"

namespace plim {

// Unpacking, the licence pager, the damaged-member errors and the check before
// removal run against real packages in the whole-run cases (tests/cases/
// root-extract-*, alice-extract*, root-upgrade-damaged-*, alice-decline) and
// tests/e2e/install_terminal_test.sh; here, the error texts for each way a
// child can end.
TEST(ChildFailureTest, ExitStatusAndSignalAreReportedNormalEndIsNot) {
  expect_table("package/testdata/child_failure.table", [](const std::vector<std::string>& f) {
    ChildSpec child;
    child.argv = {"sh", "-c", f[0]};
    int status = run_child(child);
    Captured result = capture_in_child([&] { std::printf("%d", report_child_failure("sh", status)); });
    return result.out + ", " + escaped(result.err);
  });
}

}  // namespace plim
