#include "core/file_identity.h"

#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plim {

namespace {

// setfsuid and setfsgid report no error; a second call returns the id now in
// force, which tells whether the first one took.
bool set_fs_uid(uid_t uid) {
  ::setfsuid(uid);
  return static_cast<uid_t>(::setfsuid(uid)) == uid;
}

bool set_fs_gid(gid_t gid) {
  ::setfsgid(gid);
  return static_cast<gid_t>(::setfsgid(gid)) == gid;
}

// The supplementary groups of `name`, with `gid` among them.
std::vector<gid_t> groups_of(const char* name, gid_t gid) {
  int count = 32;
  std::vector<gid_t> groups(count);
  while (::getgrouplist(name, gid, groups.data(), &count) < 0) groups.resize(count);
  groups.resize(count);
  return groups;
}

}  // namespace

bool FileIdentity::needs_switch(uid_t uid) {
  return ::geteuid() == 0 && uid != ::geteuid() && uid != static_cast<uid_t>(-1);
}

FileIdentity::FileIdentity(uid_t uid) {
  if (!needs_switch(uid)) return;
  gid_t gid = kOverflowGid;
  std::vector<gid_t> groups;
  if (const struct passwd* entry = ::getpwuid(uid)) {
    gid = entry->pw_gid;
    groups = groups_of(entry->pw_name, gid);
  }
  take_on(uid, gid, groups);
}

FileIdentity::FileIdentity(uid_t uid, gid_t gid, const std::vector<gid_t>& groups) {
  if (needs_switch(uid)) take_on(uid, gid, groups);
}

void FileIdentity::take_on(uid_t uid, gid_t gid, const std::vector<gid_t>& groups) {
  int count = ::getgroups(0, nullptr);
  if (count >= 0) {
    saved_groups_.resize(count);
    count = ::getgroups(count, saved_groups_.data());
  }
  if (count < 0) {
    fail("getgroups");
    return;
  }
  // Inside another FileIdentity the ids to go back to are that one's.
  saved_fs_uid_ = ::setfsuid(static_cast<uid_t>(-1));
  saved_fs_gid_ = ::setfsgid(static_cast<gid_t>(-1));
  switched_ = true;
  // Groups first: once the user id is no longer root's, they could not be
  // changed any more.
  if (::setgroups(groups.size(), groups.data()) != 0)
    fail("setgroups");
  else if (!set_fs_gid(gid))
    fail("setfsgid", EPERM);  // setfsgid sets no errno of its own
  else if (!set_fs_uid(uid))
    fail("setfsuid", EPERM);
}

void FileIdentity::fail(const char* call, int error) {
  if (error) errno = error;
  ok_ = false;
  failed_call_ = call;
  int why = errno;  // restoring must not hide the reason
  restore();
  errno = why;
}

FileIdentity::~FileIdentity() { restore(); }

void FileIdentity::restore() {
  if (!switched_) return;
  switched_ = false;
  set_fs_uid(saved_fs_uid_);
  set_fs_gid(saved_fs_gid_);
  ::setgroups(saved_groups_.size(), saved_groups_.data());
}

}  // namespace plim
