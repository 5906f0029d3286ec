#pragma once

#include <chrono>
#include <map>
#include <set>

namespace plim {

// The time a root refresh may take. Every program root starts as a browser's
// owner shares one budget: a user's programs together get at most
// kRefreshSecondsPerUser, all of them together kRefreshSecondsInAll. A user
// whose program had to be killed gets no further refresh in the run, so that
// no user can spend more than one program's share of the run, and the refresh
// ends within kRefreshSecondsInAll and the fraction of a second a kill takes,
// however many browsers and users there are.
//
// A remote command of a running browser answers at once; 30 seconds leave
// room for a slow display, and 60 in all for two users with slow displays.
inline constexpr int kRefreshSecondsPerUser = 30;
inline constexpr int kRefreshSecondsInAll = 60;

// Why a user's next program is not started.
enum class RefreshRefusal {
  kNone,        // it may run, for share()
  kUserHung,    // an earlier program of the user's had to be killed
  kUserTimeUp,  // the user's programs used up their seconds
  kAllTimeUp,   // the refresh used up its seconds
};

class RefreshBudget {
 public:
  using Clock = std::chrono::steady_clock;

  RefreshBudget(Clock::duration per_user, Clock::duration in_all, Clock::time_point start)
      : per_user_(per_user), deadline_(start + in_all) {}

  RefreshRefusal refusal(int uid, Clock::time_point now) const;
  // The time `uid`'s next program may take; positive unless refused.
  Clock::duration share(int uid, Clock::time_point now) const;
  // Counts what a program of `uid` took; `killed` when it ran out of its share.
  void charge(int uid, Clock::duration took, bool killed);

 private:
  Clock::duration per_user_;
  Clock::time_point deadline_;
  std::map<int, Clock::duration> used_;
  std::set<int> hung_;
};

}  // namespace plim
