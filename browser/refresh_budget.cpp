#include "browser/refresh_budget.h"

#include <algorithm>

namespace plim {

RefreshBudget::Clock::duration RefreshBudget::share(int uid, Clock::time_point now) const {
  if (hung_.contains(uid)) return Clock::duration::zero();
  auto used = used_.find(uid);
  Clock::duration users_left = per_user_ - (used == used_.end() ? Clock::duration::zero() : used->second);
  return std::max(std::min(users_left, deadline_ - now), Clock::duration::zero());
}

RefreshRefusal RefreshBudget::refusal(int uid, Clock::time_point now) const {
  if (hung_.contains(uid)) return RefreshRefusal::kUserHung;
  if (now >= deadline_) return RefreshRefusal::kAllTimeUp;
  if (share(uid, now) <= Clock::duration::zero()) return RefreshRefusal::kUserTimeUp;
  return RefreshRefusal::kNone;
}

void RefreshBudget::charge(int uid, Clock::duration took, bool killed) {
  used_[uid] += took;
  if (killed) hung_.insert(uid);
}

}  // namespace plim
