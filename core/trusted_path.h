#pragma once

#include <cerrno>
#include <string>

#include "core/unique_fd.h"

namespace plim {

// Root works in directories that ordinary users control: browser homes found
// in their processes or recorded by an earlier run, MOZILLA_HOME values,
// account homes, an --extract directory. Resolving such a path by name lets
// the user turn any directory of it into a symbolic link after root looked
// and steer root's next create or remove into /etc. reach_path() resolves a
// path once, component by component, without letting the kernel follow a
// link on its own, judges every directory entered and every link followed,
// and hands back a descriptor of the directory holding the last component,
// together with the one ordinary user (if any) who could rearrange the way.
// Every later step works relative to that descriptor and as that user.

enum class LastLink { kKeep, kFollow };  // kKeep: the last component is neither followed nor examined

struct ReachedPath {
  UniqueFd dir;      // the directory holding `name`, O_PATH|O_DIRECTORY|O_CLOEXEC; empty on failure
  std::string name;  // the last component ("." when the path names "/" or ends in a directory reached whole)
  int controller = -1;  // -1: wholly root's (always -1 when the process is not root); else the ordinary
                        // user whose file-system identity every later step must take
  std::string refusal;  // non-empty: refused, the reason for the message; dir is empty
  int error = 0;        // errno when a component could not be reached (missing, not a directory, ...)
  const char* failed_call = nullptr;  // set when taking on the controller's identity failed (error: why);
                                      // dir is empty then

  // The one outcome of a walk, read the same way by every caller: reached
  // (dir set), refused (report_refusal says why), or failed (error says why).
  bool refused() const { return !refusal.empty(); }
  bool failed() const { return !dir && refusal.empty(); }
  // Failed only because a component is missing or is not a directory: there
  // is nothing at the path (a removal has nothing to do).
  bool missing() const { return failed() && missing_or_not_directory(error); }
  // For a walk with LastLink::kFollow: 0 when the path names a directory,
  // reached whole (name "."); else the errno a name created in it meets:
  // error when the walk failed, ENOTDIR when the last component is there but
  // no directory, ENOENT when it is missing (EACCES when refused).
  int directory_error() const;

  static bool missing_or_not_directory(int error) { return error == ENOENT || error == ENOTDIR; }
};

// Resolves `path` from "/" (a relative path from the current directory).
// Symbolic links on the way are read and their targets resolved in turn (at
// most 40, else ELOOP); ".." opens the parent. For root, the owner of each
// directory entered and each link followed counts: an ordinary owner becomes
// the controller, and the rest of the way is opened with that user's
// file-system identity, so the kernel judges each step as that user. A
// directory without the sticky bit also counts the users its access ACL lets
// write (core/access_acl.h) like its owner, and a group the mode bits or the
// ACL let write by its members: one ordinary member counts like the owner.
// Refused: such a directory that every user, or a group of several ordinary
// users, may write; one whose access ACL cannot be read or understood; a way
// that two different ordinary users control.
//
// With LastLink::kKeep the last component is returned as it is (it may be
// missing or a link). With LastLink::kFollow a last link is followed; a last
// directory is entered (name "."); the owner of the last file or directory
// counts too; a missing last component is returned by name, dir being the
// directory it would go in.
//
// Inside a FileIdentity the walk opens everything as that identity and
// gives it back at the end.
ReachedPath reach_path(const std::string& path, LastLink last);

// The same for `path` below the directory `from` reached (its name "."),
// the walk going on as from's controller: the plug-in's names inside a home,
// without walking the way to the home again.
ReachedPath reach_path_at(const ReachedPath& from, const std::string& path, LastLink last);

// The account name of `uid`, made printable, or "user N" without one: how
// refusals name the users they are about.
std::string user_name(int uid);

// "Refused:\t<path> (<reason>)\n" on standard error and in the run log.
void report_refusal(const std::string& path, const ReachedPath& reached);

}  // namespace plim
