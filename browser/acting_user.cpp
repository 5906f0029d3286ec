#include "browser/acting_user.h"

#include <unistd.h>

#include "core/file_identity.h"

uid_t acting_user(int chosen_by, std::initializer_list<std::string> dirs) {
  constexpr uid_t kNobody = static_cast<uid_t>(-1);
  if (::geteuid() != 0) return kNobody;
  if (chosen_by > 0) return static_cast<uid_t>(chosen_by);
  for (const std::string& dir : dirs) {
    uid_t owner = owner_to_act_as(dir.c_str());
    if (owner != kNobody) return owner;
  }
  return kNobody;
}
