#include "mime/file_rewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_identity.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/system_error.h"
#include "core/trusted_path.h"
#include "core/unique_fd.h"
#include "mime/line_filter.h"

namespace plim {

void (*after_move_aside_for_testing)(const std::string& path) = nullptr;

namespace {

// The file's directory, reached once, so that every step works on the same
// directory whatever happens to the path meanwhile.
struct Place {
  UniqueFd dir;
  struct stat dir_status {};
  int controller = -1;  // the user who controls the way to the directory, if any
  std::string dir_path;
  std::string name;         // the file's name in the directory
  std::string backup_name;  // the backup's
};

enum class Opened {
  kYes,
  kRefused,  // after saying why root refuses to work there
  kFailed,   // errno says why
};

// The directory of `backup`: up to its last "/" ("/" itself for "/name").
Opened open_place(const std::string& path, const std::string& backup, Place& place) {
  place.dir_path = parent_directory(backup);
  place.name = base_name(path);
  place.backup_name = base_name(backup);
  ReachedPath reached = reach_path(place.dir_path, LastLink::kFollow);
  if (reached.refused()) {
    report_refusal(place.dir_path, reached);
    return Opened::kRefused;
  }
  if (int error = reached.directory_error(); error != 0) {
    errno = error;
    return Opened::kFailed;
  }
  place.dir = std::move(reached.dir);
  place.controller = reached.controller;
  return ::fstat(place.dir.get(), &place.dir_status) == 0 ? Opened::kYes : Opened::kFailed;
}

// Gives the new file the kept permission bits, then the owner and group
// (either may be refused; the file then stays the acting user's, mode 0600).
void restore_status(int fd, const struct stat& kept) {
  (void)::fchmod(fd, kept.st_mode & 0777);
  (void)::fchown(fd, kept.st_uid, kept.st_gid);
}

// A file made anew belongs to the directory's owner and group, with the
// mode a file of text gets (0644 less the umask), not the directory's.
struct stat new_file_status(const struct stat& dir_status) {
  mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat status = dir_status;
  status.st_mode = S_IFREG | (0644 & ~mask);
  return status;
}

// The identity of `uid`, with the groups from `accounts` when it knows them.
FileIdentity identity_of(uid_t uid, const AccountGroups* accounts) {
  if (const UserGroups* known = accounts ? accounts->find(uid) : nullptr)
    return FileIdentity(uid, known->gid, known->groups);
  return FileIdentity(uid);
}

class Rewrite {
 public:
  Rewrite(const std::string& path, const RewriteRule& rule, const AccountGroups* accounts)
      : path_(path), rule_(rule), accounts_(accounts) {}
  int run(std::string_view entries);

 private:
  int fail(const char* call, const char* what, const std::string& name);
  int write_new(int old_fd, const struct stat& kept, std::string_view entries);

  const std::string& path_;
  const RewriteRule& rule_;
  const AccountGroups* accounts_;
  Place place_;
  bool moved_aside_ = false;
  bool created_ = false;
};

int Rewrite::run(std::string_view entries) {
  std::string backup = path_ + rule_.backup_suffix;
  if (Opened opened = open_place(path_, backup, place_); opened != Opened::kYes) {
    if (opened == Opened::kRefused || rule_.when_missing == WhenMissing::kSkip) return -1;
    return fail("stat", "Failed to stat directory", place_.dir_path);
  }
  // A directory reached through a user's link or directory is that user's,
  // whoever owns the directory itself.
  uid_t actor = place_.controller >= 0 ? place_.controller : place_.dir_status.st_uid;
  FileIdentity as_owner = identity_of(actor, accounts_);
  if (!as_owner) return fail(as_owner.failed_call(), "Failed to act as the owner of %s\n", place_.dir_path);

  int dir = place_.dir.get();
  if (::renameat(dir, place_.name.c_str(), dir, place_.backup_name.c_str()) != 0) {
    if (errno != ENOENT) return fail("rename", "Failed to rename", path_);
    if (rule_.when_missing == WhenMissing::kSkip) return -1;
    return write_new(-1, new_file_status(place_.dir_status), entries);
  }
  moved_aside_ = true;
  if (after_move_aside_for_testing) after_move_aside_for_testing(path_);

  UniqueFd old_fd(::openat(dir, place_.backup_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!old_fd) return fail("fopen", "Failed to open", path_);
  struct stat kept;
  if (::fstat(old_fd.get(), &kept) != 0) return fail("stat", "Failed to stat file", backup);
  if (!S_ISREG(kept.st_mode)) {
    errno = S_ISDIR(kept.st_mode) ? EISDIR : EINVAL;
    return fail("fopen", "Failed to open", path_);
  }
  return write_new(old_fd.release(), kept, entries);
}

// Writes the new file from the backup open as `old_fd` (none: -1) and the
// entries.
int Rewrite::write_new(int old_fd, const struct stat& kept, std::string_view entries) {
  BlockStream old_file(old_fd, "r");
  int dir = place_.dir.get();
  int new_fd = ::openat(dir, place_.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (new_fd < 0) return fail("fopen", "Failed to open", path_);
  created_ = true;
  BlockStream new_file(new_fd, "w");
  if (!new_file || (old_fd >= 0 && !old_file)) return fail("fopen", "Failed to open", path_);

  if (old_fd >= 0) {
    bool copied = rule_.filter(old_file.get(), new_file.get());
    if (std::ferror(old_file.get())) return fail("read", "Failed to read", path_ + rule_.backup_suffix);
    old_file.close();
    if (!copied) return fail("write", "Failed to write", path_);
  }
  restore_status(::fileno(new_file.get()), kept);
  LineWriter writer(new_file.get());
  if (!writer.write(entries) || !new_file.close()) return fail("write", "Failed to write", path_);
  return 0;
}

// Reports ("WHAT NAME"), then leaves the file as it was: the backup goes back under its
// name (replacing a half-written file, or whatever else appeared there), or
// the file created anew goes.
int Rewrite::fail(const char* call, const char* what, const std::string& name) {
  report_system_error(call);
  log_printf(stderr, "%s %s\n", what, printable(name).c_str());
  int dir = place_.dir.get();
  if (moved_aside_) {
    if (::renameat(dir, place_.backup_name.c_str(), dir, place_.name.c_str()) != 0) {
      report_system_error("rename");
      log_printf(stderr, "Failed to rename %s\n", printable(path_ + rule_.backup_suffix).c_str());
    }
  } else if (created_) {
    ::unlinkat(dir, place_.name.c_str(), 0);
  }
  return -1;
}

}  // namespace

int rewrite_file(const std::string& path, const RewriteRule& rule, std::string_view entries,
                 const AccountGroups* accounts) {
  return Rewrite(path, rule, accounts).run(entries);
}

}  // namespace plim
