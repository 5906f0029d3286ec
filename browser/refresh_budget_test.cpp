#include "browser/refresh_budget.h"

#include <string>
#include <vector>

#include "testing/test_support/unit_test.h"

namespace plim {

namespace {

using std::chrono::seconds;
using Clock = RefreshBudget::Clock;

// One program of a refresh: whose, when it starts (seconds after the
// refresh began), how long it runs and whether it had to be killed; then
// what the budget says of the next program of `next_uid` at `next_at`.
struct Step {
  int uid;
  int at;
  int took;
  bool killed;
};

struct Row {
  const char* what;
  std::vector<Step> before;
  int next_uid;
  int next_at;
  RefreshRefusal refusal;
  int share;  // seconds
};

TEST(RefreshBudget, SharesTheUsersSecondsAndTheWholeRefreshs) {
  const Row rows[] = {
      {"a first program gets the user's share", {}, 500, 0, RefreshRefusal::kNone, 30},
      {"a user's programs share the user's seconds",
       {{500, 0, 20, false}},
       500,
       20,
       RefreshRefusal::kNone,
       10},
      {"another user's have their own", {{500, 0, 20, false}}, 501, 20, RefreshRefusal::kNone, 30},
      {"a user whose program was killed gets no more",
       {{500, 0, 30, true}},
       500,
       30,
       RefreshRefusal::kUserHung,
       0},
      {"a user whose seconds are used up gets no more",
       {{500, 0, 15, false}, {500, 15, 15, false}},
       500,
       30,
       RefreshRefusal::kUserTimeUp,
       0},
      {"the last user gets what is left of the whole",
       {{500, 0, 30, true}, {501, 30, 25, false}},
       502,
       55,
       RefreshRefusal::kNone,
       5},
      {"nobody starts once the whole is used up",
       {{500, 0, 30, true}, {501, 30, 30, true}},
       502,
       60,
       RefreshRefusal::kAllTimeUp,
       0},
  };
  for (const Row& row : rows) {
    const Clock::time_point start{};
    RefreshBudget budget(seconds(kRefreshSecondsPerUser), seconds(kRefreshSecondsInAll), start);
    for (const Step& step : row.before) {
      // No program runs past the share the budget gave it.
      EXPECT_LE(seconds(step.took), budget.share(step.uid, start + seconds(step.at))) << row.what;
      budget.charge(step.uid, seconds(step.took), step.killed);
    }
    Clock::time_point next = start + seconds(row.next_at);
    EXPECT_EQ(budget.refusal(row.next_uid, next), row.refusal) << row.what;
    EXPECT_EQ(budget.share(row.next_uid, next), seconds(row.share)) << row.what;
  }
}

}  // namespace

}  // namespace plim
