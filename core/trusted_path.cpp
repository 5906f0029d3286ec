#include "core/trusted_path.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "core/access_acl.h"
#include "core/file_identity.h"
#include "core/printable.h"
#include "core/run_log.h"

namespace plim {

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one lookup
constexpr int kOpenFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

// The components of `path` in reverse order, so that the next one is at the
// back. A trailing slash adds "." : the path names a directory, entered whole.
void push_components(const std::string& path, std::vector<std::string>& pending) {
  std::vector<std::string> forward;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) forward.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  if (!path.empty() && path.back() == '/') forward.push_back(".");
  pending.insert(pending.end(), forward.rbegin(), forward.rend());
}

// A relative path as root resolves it: from "/" through the current
// directory, so that the directories above it are judged as well.
std::string rooted(const std::string& path) {
  if (path.starts_with("/") || ::geteuid() != 0) return path;
  std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) + "/" + path : path;
}

// The ordinary users (not root) who belong to the group `gid`: its listed
// members and the accounts whose primary group it is. A directory only such
// a group may write is that one user's, or no one's in particular.
std::vector<uid_t> ordinary_members(gid_t gid) {
  std::vector<uid_t> members;
  auto add = [&](uid_t uid) {
    if (uid != 0 && std::find(members.begin(), members.end(), uid) == members.end()) members.push_back(uid);
  };
  std::vector<std::string> names;  // copied: the look-ups below reuse the group entry's storage
  if (const struct group* entry = ::getgrgid(gid))
    for (char** name = entry->gr_mem; name && *name; ++name) names.emplace_back(*name);
  for (const std::string& name : names)
    if (const struct passwd* account = ::getpwnam(name.c_str())) add(account->pw_uid);
  ::setpwent();
  while (const struct passwd* account = ::getpwent())
    if (account->pw_gid == gid) add(account->pw_uid);
  ::endpwent();
  return members;
}

class Walk {
 public:
  explicit Walk(ReachedPath& out) : out_(out), judged_(::geteuid() == 0) {}

  // From `start` (a directory descriptor, or AT_FDCWD), or from "/" for an
  // absolute path; the walk goes on as `controller` when that is a user.
  void run(int start, int controller, const std::string& path, LastLink last) {
    if (controller >= 0 && !take_controller(controller)) return;
    std::vector<std::string> pending;
    push_components(path, pending);
    if (!enter(path.starts_with("/") ? "/" : ".", path.starts_with("/") ? AT_FDCWD : start)) return;
    out_.name = ".";
    while (!pending.empty()) {
      std::string component = std::move(pending.back());
      pending.pop_back();
      bool is_last = pending.empty();
      out_.name = ".";
      if (component == ".") continue;
      if (component == "..") {
        if (!enter("..", out_.dir.get())) return;
        continue;
      }
      if (is_last && last == LastLink::kKeep) {
        out_.name = component;
        return;
      }
      if (!step(component, is_last, pending)) return;
    }
  }

 private:
  // Opens `component` of the current directory without following it, then
  // enters it, follows it, or (last) names it.
  bool step(const std::string& component, bool is_last, std::vector<std::string>& pending) {
    UniqueFd entry(::openat(out_.dir.get(), component.c_str(), kOpenFlags));
    struct stat st;
    if (!entry) {
      if (errno == ENOENT && is_last) {
        out_.name = component;
        return true;
      }
      return fail(errno);
    }
    if (::fstat(entry.get(), &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) {
      if (!judge(st, entry.get())) return false;
      out_.dir = std::move(entry);
      return true;
    }
    if (S_ISLNK(st.st_mode)) return follow(entry, st, pending);
    if (!is_last) return fail(ENOTDIR);
    out_.name = component;
    return judge(st, entry.get());
  }

  bool follow(const UniqueFd& link, const struct stat& st, std::vector<std::string>& pending) {
    if (++links_ > kMaxLinks) return fail(ELOOP);
    if (!judge(st, link.get())) return false;
    std::string target(st.st_size > 0 ? st.st_size + 1 : 4096, '\0');
    ssize_t length = ::readlinkat(link.get(), "", target.data(), target.size());
    if (length < 0) return fail(errno);
    if (static_cast<std::size_t>(length) >= target.size()) return fail(ENAMETOOLONG);  // grew meanwhile
    target.resize(length);
    if (target.empty()) return fail(ENOENT);
    push_components(target, pending);
    return !target.starts_with("/") || enter("/", AT_FDCWD);
  }

  // Makes `name` of `at` the current directory, after judging it.
  bool enter(const char* name, int at) {
    UniqueFd dir(::openat(at, name, kOpenFlags | O_DIRECTORY));
    struct stat st;
    if (!dir || ::fstat(dir.get(), &st) != 0) return fail(errno);
    if (!judge(st, dir.get())) return false;
    out_.dir = std::move(dir);
    return true;
  }

  // Root's verdict on a file it passes through (`fd`, opened O_PATH):
  // refused, or the user (if any) who owns it becomes the one the rest of
  // the way is walked as.
  bool judge(const struct stat& st, int fd) {
    if (!judged_) return true;
    std::vector<uid_t> users;  // the ordinary users who may rearrange this entry
    if (st.st_uid != 0) users.push_back(st.st_uid);
    // In a sticky directory a writer may move only their own entries, which
    // count by their owner when the walk passes them.
    if (S_ISDIR(st.st_mode) && !(st.st_mode & S_ISVTX)) {
      if (st.st_mode & S_IWOTH) return refuse("writable by every user");
      if ((st.st_mode & S_IWGRP) && st.st_gid != 0 && !add_group_writer(st.st_gid, users)) return false;
      AccessAcl acl = read_access_acl(fd);
      if (!acl.failure.empty()) return refuse(std::move(acl.failure));
      for (uid_t user : acl.writers.users)
        if (user != 0) users.push_back(user);
      for (gid_t group : acl.writers.groups)
        if (group != 0 && !add_group_writer(group, users)) return false;
    }
    for (uid_t user : users) {
      if (static_cast<int>(user) == out_.controller) continue;
      if (out_.controller >= 0)
        return refuse("controlled by " + user_name(out_.controller) + " and " +
                      user_name(static_cast<int>(user)));
      if (!take_controller(static_cast<int>(user))) return false;
    }
    return true;
  }

  // A group that may write: refused when several ordinary users belong to
  // it; its one member, if any, joins `users`.
  bool add_group_writer(gid_t group, std::vector<uid_t>& users) {
    std::vector<uid_t> members = ordinary_members(group);
    if (members.size() > 1) return refuse("writable by group " + std::to_string(group) + " of several users");
    if (!members.empty() && std::find(users.begin(), users.end(), members[0]) == users.end())
      users.push_back(members[0]);
    return true;
  }

  bool take_controller(int uid) {
    out_.controller = uid;
    as_controller_.emplace(static_cast<uid_t>(uid));
    if (*as_controller_) return true;
    out_.failed_call = as_controller_->failed_call();
    return fail(errno);
  }

  bool refuse(std::string reason) {
    out_.refusal = std::move(reason);
    out_.dir.reset();
    return false;
  }

  bool fail(int error) {
    out_.error = error;
    out_.dir.reset();
    return false;
  }

  ReachedPath& out_;
  bool judged_;
  int links_ = 0;
  std::optional<FileIdentity> as_controller_;  // root's identity comes back when the walk ends
};

}  // namespace

ReachedPath reach_path(const std::string& path, LastLink last) {
  ReachedPath reached;
  if (path.empty()) {
    reached.error = ENOENT;
    return reached;
  }
  Walk(reached).run(AT_FDCWD, -1, rooted(path), last);
  return reached;
}

ReachedPath reach_path_at(const ReachedPath& from, const std::string& path, LastLink last) {
  ReachedPath reached;
  if (path.empty() || !from.dir) {
    reached.error = path.empty() ? ENOENT : EBADF;
    return reached;
  }
  Walk(reached).run(from.dir.get(), from.controller, path, last);
  return reached;
}

int ReachedPath::directory_error() const {
  if (refused()) return EACCES;
  if (failed()) return error;
  if (name == ".") return 0;
  struct stat st;
  return ::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? ENOTDIR : ENOENT;
}

std::string user_name(int uid) {
  if (const struct passwd* account = ::getpwuid(static_cast<uid_t>(uid))) return printable(account->pw_name);
  return "user " + std::to_string(uid);
}

void report_refusal(const std::string& path, const ReachedPath& reached) {
  log_printf(stderr, "Refused:\t%s (%s)\n", printable(path).c_str(), reached.refusal.c_str());
}

}  // namespace plim
