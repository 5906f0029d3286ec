#include "mime/account_groups.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>

namespace plim {

AccountGroups AccountGroups::read() {
  AccountGroups accounts;
  std::unordered_map<std::string, uid_t> uid_of;  // the name of each id's first entry
  ::setpwent();
  while (const struct passwd* entry = ::getpwent()) {
    if (entry->pw_dir) accounts.homes_.emplace_back(entry->pw_dir);
    if (accounts.users_.try_emplace(entry->pw_uid, UserGroups{entry->pw_gid, {entry->pw_gid}}).second)
      uid_of.emplace(entry->pw_name, entry->pw_uid);
  }
  ::endpwent();
  ::setgrent();
  while (const struct group* entry = ::getgrent()) {
    for (char** member = entry->gr_mem; member && *member; ++member) {
      auto found = uid_of.find(*member);
      if (found == uid_of.end()) continue;
      std::vector<gid_t>& groups = accounts.users_[found->second].groups;
      if (std::find(groups.begin(), groups.end(), entry->gr_gid) == groups.end())
        groups.push_back(entry->gr_gid);
    }
  }
  ::endgrent();
  return accounts;
}

const UserGroups* AccountGroups::find(uid_t uid) const {
  auto found = users_.find(uid);
  return found == users_.end() ? nullptr : &found->second;
}

}  // namespace plim
