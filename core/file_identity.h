#pragma once

#include <sys/types.h>

#include <vector>

namespace plim {

// Root does some of its work in directories that other users own (their
// homes, browser directories they run from). Done with root's rights, a
// symbolic link the owner swaps into the path could make root create,
// truncate or remove a file anywhere. While a FileIdentity is alive, every
// file-system call is checked by the kernel as the given user: the
// file-system user and group ids and the supplementary groups are that
// user's (and root's file-system capabilities drop with the user id). The
// destructor restores the identity in force before (root's own, or that of
// an enclosing FileIdentity).
//
// Only the file-system view changes, so signals, /proc and the rest of the
// process keep the installer's ids. Single-threaded use only: the
// supplementary groups belong to the whole process.
// The group of a user id without a password entry (no group of anyone's).
inline constexpr gid_t kOverflowGid = 65534;

class FileIdentity {
 public:
  // Takes on `uid`: its primary group and supplementary groups from the
  // password and group databases, or, for a user id without a password
  // entry, the overflow group 65534 and no supplementary groups. Nothing
  // changes for -1, for the effective user id, or when the process is not
  // root.
  explicit FileIdentity(uid_t uid);
  // The same with the primary group and supplementary groups looked up
  // beforehand (root's walk over every account reads the databases once
  // rather than once per file).
  FileIdentity(uid_t uid, gid_t gid, const std::vector<gid_t>& groups);
  ~FileIdentity();
  FileIdentity(const FileIdentity&) = delete;
  FileIdentity& operator=(const FileIdentity&) = delete;

  // False when the switch could not be made completely; the work meant for
  // that user must then not be done (the ids are back to root's already).
  explicit operator bool() const { return ok_; }
  // The call that failed, for the system error line; errno tells why.
  const char* failed_call() const { return failed_call_; }

 private:
  static bool needs_switch(uid_t uid);
  void take_on(uid_t uid, gid_t gid, const std::vector<gid_t>& groups);
  void fail(const char* call, int error = 0);
  void restore();

  bool switched_ = false;
  bool ok_ = true;
  const char* failed_call_ = "";
  uid_t saved_fs_uid_ = 0;
  gid_t saved_fs_gid_ = 0;
  std::vector<gid_t> saved_groups_;
};

}  // namespace plim
