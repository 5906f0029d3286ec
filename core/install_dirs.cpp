#include "core/install_dirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/dir_handle.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/tree_removal.h"
#include "core/trusted_path.h"

namespace plim {

namespace {

constexpr int kHeldDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool report_mkdir_failure(const std::string& path) {
  report_system_error("mkdir");
  std::fprintf(stderr, "Failed to created directory %s\n", path.c_str());
  return false;
}

// Root's walk names the user who could rearrange the way; the work done
// there would run as root, so such a way is refused outright.
bool refuse_if_controlled(const std::string& path, ReachedPath& reached) {
  if (!reached.refused() && reached.controller >= 0)
    reached.refusal =
        "controlled by " + user_name(reached.controller) + "; choose a prefix only root may change";
  if (!reached.refused()) return false;
  report_refusal(path, reached);
  return true;
}

bool is_staged_name(const char* name) {
  return std::strncmp(name, kStagedPrefix, sizeof kStagedPrefix - 1) == 0;
}

// What the signal handler works with, set while an installation is armed:
// plain descriptors and fixed-size names, nothing that allocates.
struct SignalCleanup {
  int parent = -1, prefix = -1, vendor = -1;
  char prefix_name[256] = "";
  char staged_name[64] = "";
  bool made_prefix = false, made_vendor = false;
};
SignalCleanup signal_cleanup;
volatile sig_atomic_t signal_cleanup_armed = 0;
constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Unlinks every entry of the staging directory that is not a directory (the
// licence's copy, members unpacked so far), reading it with getdents64 into
// a buffer on the stack: readdir may allocate.
void unlink_staged_files() {
  int dir = ::openat(signal_cleanup.vendor, signal_cleanup.staged_name, kHeldDirFlags);
  if (dir < 0) return;
  alignas(8) char buffer[4096];
  for (;;) {
    long length = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
    if (length <= 0) break;
    for (long at = 0; at < length;) {
      struct Entry {
        ino64_t ino;
        off64_t off;
        unsigned short reclen;
        unsigned char type;
        char name[1];
      };
      const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
      if (entry->type != DT_DIR) ::unlinkat(dir, entry->name, 0);
      at += entry->reclen;
    }
  }
  ::close(dir);
}

void clean_up_on_signal(int signal) {
  if (signal_cleanup_armed) {
    signal_cleanup_armed = 0;
    if (signal_cleanup.staged_name[0]) {
      unlink_staged_files();
      ::unlinkat(signal_cleanup.vendor, signal_cleanup.staged_name, AT_REMOVEDIR);
    }
    if (signal_cleanup.made_vendor) ::unlinkat(signal_cleanup.prefix, kVendorDirName, AT_REMOVEDIR);
    if (signal_cleanup.made_prefix)
      ::unlinkat(signal_cleanup.parent, signal_cleanup.prefix_name, AT_REMOVEDIR);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

InstallDirs InstallDirs::resolve(const std::string& prefix) {
  InstallDirs dirs;
  dirs.prefix_ = prefix.size() > 1 && prefix.back() == '/' ? prefix.substr(0, prefix.size() - 1) : prefix;
  std::string base = dirs.prefix_ == "/" ? "" : dirs.prefix_;
  dirs.vendor_path_ = base + "/" + kVendorDirName;
  dirs.install_path_ = dirs.vendor_path_ + "/" + kInstallDirName;

  ReachedPath reached = reach_path(dirs.prefix_, LastLink::kFollow);
  if (refuse_if_controlled(dirs.prefix_, reached)) {
    dirs.refused_ = true;
    return dirs;
  }
  if (reached.failed()) return dirs;  // creating reports it
  if (reached.name == ".") {
    dirs.prefix_dir_ = std::move(reached.dir);
  } else {
    dirs.prefix_parent_ = std::move(reached.dir);
    dirs.prefix_name_ = reached.name;
    return dirs;
  }
  ReachedPath from;
  from.dir.reset(::dup(dirs.prefix_dir_.get()));
  from.name = ".";
  ReachedPath vendor = reach_path_at(from, kVendorDirName, LastLink::kFollow);
  if (refuse_if_controlled(dirs.vendor_path_, vendor)) {
    dirs.refused_ = true;
    return dirs;
  }
  if (vendor.dir && vendor.name == ".")
    dirs.vendor_dir_.reset(::openat(vendor.dir.get(), ".", kHeldDirFlags));
  return dirs;
}

bool InstallDirs::installed() const {
  struct stat st;
  return vendor_dir_ && ::fstatat(vendor_dir_.get(), kInstallDirName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(st.st_mode);
}

bool InstallDirs::create() {
  if (!prefix_dir_) {
    if (!prefix_parent_) {
      errno = ENOENT;
      return report_mkdir_failure(prefix_);
    }
    if (::mkdirat(prefix_parent_.get(), prefix_name_.c_str(), kNewDirMode) != 0)
      return report_mkdir_failure(prefix_);
    made_prefix_ = true;
    prefix_dir_.reset(::openat(prefix_parent_.get(), prefix_name_.c_str(), O_PATH | kHeldDirFlags));
    if (!prefix_dir_) return report_mkdir_failure(prefix_);
  }
  if (vendor_dir_) return true;
  if (::mkdirat(prefix_dir_.get(), kVendorDirName, kNewDirMode) != 0) {
    // A vendor directory that is there but could not be opened is reported
    // as the attempt to make it fails: "File exists".
    return report_mkdir_failure(vendor_path_);
  }
  made_vendor_ = true;
  vendor_dir_.reset(::openat(prefix_dir_.get(), kVendorDirName, kHeldDirFlags));
  if (!vendor_dir_) return report_mkdir_failure(vendor_path_);
  return true;
}

bool InstallDirs::lock() {
  if (::flock(vendor_dir_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      log_printf(stderr, "Error:\tAnother run is changing %s; try again when it has ended\n",
                 printable(vendor_path_).c_str());
    } else {
      report_system_error("flock");
      log_printf(stderr, "Error:\tFailed to lock %s\n", printable(vendor_path_).c_str());
    }
    return false;
  }
  // Whatever is staged now was left by a run that ended without finishing.
  std::vector<std::string> stale;
  UniqueDir listing(::fdopendir(::openat(vendor_dir_.get(), ".", kHeldDirFlags)));
  while (const struct dirent* entry = listing ? ::readdir(listing.get()) : nullptr)
    if (is_staged_name(entry->d_name)) stale.emplace_back(entry->d_name);
  for (const std::string& name : stale) remove_tree_at(vendor_dir_.get(), name.c_str());
  return true;
}

UniqueFd InstallDirs::stage() {
  staged_name_ = kStagedPrefix + std::to_string(::getpid());
  if (::mkdirat(vendor_dir_.get(), staged_name_.c_str(), kNewDirMode) != 0) {
    staged_name_.clear();
    report_mkdir_failure(install_path_);
    return UniqueFd();
  }
  UniqueFd staged(::openat(vendor_dir_.get(), staged_name_.c_str(), kHeldDirFlags));
  if (!staged) report_mkdir_failure(install_path_);
  return staged;
}

bool InstallDirs::swap_in(bool& failed) {
  failed = false;
  int vendor = vendor_dir_.get();
  if (::renameat2(vendor, staged_name_.c_str(), vendor, kInstallDirName, RENAME_NOREPLACE) == 0) {
    staged_name_.clear();
    return false;
  }
  if (errno == EEXIST &&
      ::renameat2(vendor, staged_name_.c_str(), vendor, kInstallDirName, RENAME_EXCHANGE) == 0)
    return true;
  if (errno == EINVAL) {
    // A file system without exchange: the old tree steps aside under the
    // staging name's sibling, then the new one takes its place. Between the
    // two renames the install directory is missing; a run killed there
    // leaves both trees staged, the next run removes them.
    std::string aside = staged_name_ + ".old";
    if (::renameat(vendor, kInstallDirName, vendor, aside.c_str()) == 0) {
      if (::renameat(vendor, staged_name_.c_str(), vendor, kInstallDirName) == 0) {
        staged_name_ = aside;
        return true;
      }
      ::renameat(vendor, aside.c_str(), vendor, kInstallDirName);
    }
  }
  report_system_error("rename");
  failed = true;
  return false;
}

void InstallDirs::remove_replaced() {
  if (staged_name_.empty()) return;
  log_printf(stdout, "Remove Recursive: %s\n", printable(install_path_).c_str());
  remove_tree_at(vendor_dir_.get(), staged_name_.c_str());
  staged_name_.clear();
}

void InstallDirs::discard() {
  if (vendor_dir_ && !staged_name_.empty()) remove_tree_at(vendor_dir_.get(), staged_name_.c_str());
  staged_name_.clear();
  if (made_vendor_ && prefix_dir_ && ::unlinkat(prefix_dir_.get(), kVendorDirName, AT_REMOVEDIR) == 0)
    made_vendor_ = false;
  if (made_prefix_ && prefix_parent_ &&
      ::unlinkat(prefix_parent_.get(), prefix_name_.c_str(), AT_REMOVEDIR) == 0)
    made_prefix_ = false;
}

void InstallDirs::arm_signal_cleanup() const {
  signal_cleanup_armed = 0;
  signal_cleanup.parent = prefix_parent_.get();
  signal_cleanup.prefix = prefix_dir_.get();
  signal_cleanup.vendor = vendor_dir_.get();
  std::snprintf(signal_cleanup.prefix_name, sizeof signal_cleanup.prefix_name, "%s", prefix_name_.c_str());
  std::snprintf(signal_cleanup.staged_name, sizeof signal_cleanup.staged_name, "%s", staged_name_.c_str());
  signal_cleanup.made_prefix = made_prefix_ && prefix_name_.size() < sizeof signal_cleanup.prefix_name;
  signal_cleanup.made_vendor = made_vendor_;
  for (int signal : kCleanupSignals) {
    struct sigaction action = {};
    action.sa_handler = clean_up_on_signal;
    sigfillset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
  signal_cleanup_armed = 1;
}

void InstallDirs::disarm_signal_cleanup() { signal_cleanup_armed = 0; }

bool InstallDirs::may_change() const {
  if (!vendor_dir_) return true;
  int vendor = vendor_dir_.get();
  return ::faccessat(vendor, ".", W_OK, AT_EACCESS) == 0 &&
         (!installed() || ::faccessat(vendor, kInstallDirName, W_OK, AT_EACCESS) == 0);
}

bool InstallDirs::remove_installation(bool& vendor_removed) {
  vendor_removed = false;
  if (!vendor_dir_) return true;
  bool removed = true;
  if (installed()) {
    log_printf(stdout, "Remove Recursive: %s\n", printable(install_path_).c_str());
    removed = remove_tree_at(vendor_dir_.get(), kInstallDirName);
  }
  if (prefix_dir_ && ::unlinkat(prefix_dir_.get(), kVendorDirName, AT_REMOVEDIR) == 0) {
    log_printf(stdout, "Remove:\t%s\n", printable(vendor_path_).c_str());
    vendor_removed = true;
  }
  return removed;
}

}  // namespace plim
