#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace plim {

// Every account of the password database with the groups it works in, read
// in one pass over the password and one over the group database, so that
// root's update of N homes looks users up in N steps, not N passes over
// files of N lines.
struct UserGroups {
  gid_t gid;                  // the primary group
  std::vector<gid_t> groups;  // the supplementary groups, the primary one first
};

class AccountGroups {
 public:
  // Reads both databases, from their start.
  static AccountGroups read();

  // As the password database's look-up by user id gives it (the first entry
  // of that id); nullptr for a user id without an entry.
  const UserGroups* find(uid_t uid) const;
  // The home directory field of every entry, in the database's order.
  const std::vector<std::string>& homes() const { return homes_; }

 private:
  std::unordered_map<uid_t, UserGroups> users_;
  std::vector<std::string> homes_;
};

}  // namespace plim
