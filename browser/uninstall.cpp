#include "browser/uninstall.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "browser/browser_pairs.h"
#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/file_identity.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/tree_removal.h"
#include "core/trusted_path.h"

namespace plim {

namespace {

bool gone(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) != 0;
}

bool gone_at(int dir, const std::string& name) {
  struct stat st;
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0;
}

void unlink_with_message(const std::string& path) {
  if (::unlink(path.c_str()) == 0) log_printf(stdout, "Remove:\t%s\n", path.c_str());
}

// Unlink, then rmdir, then the recursive removal: the first that works.
bool remove_any_way_at(int dir, const std::string& name) {
  return ::unlinkat(dir, name.c_str(), 0) == 0 || ::unlinkat(dir, name.c_str(), AT_REMOVEDIR) == 0 ||
         remove_tree_at(dir, name.c_str());
}

// The place of a name to remove, with the identity of the user who controls
// the way to it taken on for as long as the place is held.
struct RemovalPlace {
  ReachedPath reached;
  std::optional<FileIdentity> as_controller;
};

// False (after saying why when it was refused) when root must not, or
// cannot, remove at `path`.
bool reach_for_removal(const std::string& path, RemovalPlace& place) {
  place.reached = reach_path(path, LastLink::kKeep);
  if (place.reached.refused()) report_refusal(path, place.reached);
  if (place.reached.refused() || place.reached.failed()) return false;
  place.as_controller.emplace(static_cast<uid_t>(place.reached.controller));
  return static_cast<bool>(*place.as_controller);
}

void remove_personal_links(const std::optional<std::string>& home_dir) {
  if (!home_dir || home_dir->empty()) return;
  std::string netscape = *home_dir + "/.netscape";
  remove_recursive(netscape + "/Plim");
  unlink_with_message(netscape + "/plugins/nsplimmo.so");
  unlink_with_message(netscape + "/pluginlist");
}

// Whether `link` in `dir` is a symbolic link into the install tree
// `install`: only what this installation made goes, never another product's
// file.
bool links_into_install_dir(int dir, const std::string& link, const std::string& install) {
  char target[4096];
  ssize_t length = ::readlinkat(dir, link.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return false;
  std::string_view points_to(target, length);
  return points_to == install || (points_to.starts_with(install) && points_to[install.size()] == '/');
}

void remove_recorded_link(const std::string& path, const std::string& install) {
  RemovalPlace place;
  if (!reach_for_removal(path, place)) return;
  int dir = place.reached.dir.get();
  if (links_into_install_dir(dir, place.reached.name, install) &&
      ::unlinkat(dir, place.reached.name.c_str(), 0) == 0)
    log_printf(stdout, "Remove:\t%s\n", printable(path).c_str());
}

// The uninstaller finds no browsers of its own: root's links go from the
// browser homes the settings file records, each paired with its executable
// as the browser list pairs them (an executable without a recorded home
// stands for its own directory).
void remove_recorded_links(const Settings& settings) {
  if (!settings.install_dir) return;
  std::string exe_list = settings.netscape_path.value_or("");
  std::string home_list = settings.mozilla_home.value_or("");
  std::set<std::string> done;
  for (const BrowserPair& pair : pair_browser_lists(exe_list, home_list)) {
    std::string dir = !pair.home.empty()  ? std::string(pair.home)
                      : !pair.exe.empty() ? directory_of(std::string(pair.exe))
                                          : "";
    if (dir.empty() || !done.insert(dir).second) continue;
    remove_recorded_link(dir + "/Plim", *settings.install_dir);
    remove_recorded_link(dir + "/plugins/nsplimmo.so", *settings.install_dir);
  }
}

}  // namespace

int remove_recursive(const std::string& path, int uid) {
  ChildSpec rm;
  rm.argv = {"rm", "-rf", path};
  rm.stderr_to_null = true;
  rm.exec_failure_text = nullptr;
  rm.run_as_uid = uid;
  rm.on_fork_failure = ForkFailure::kGoOn;
  run_child(rm);
  return gone(path) ? 0 : -1;
}

int remove_beside(const std::string& exe_path, const std::string& name) {
  std::string target = directory_of(exe_path) + name;
  RemovalPlace place;
  if (!reach_for_removal(target, place)) return place.reached.missing() ? 0 : -1;
  int dir = place.reached.dir.get();
  const std::string& entry = place.reached.name;

  ::unlinkat(dir, entry.c_str(), 0);
  if (gone_at(dir, entry)) return 0;
  if (remove_any_way_at(dir, entry)) return 0;

  std::string aside = entry + "~";
  ::unlinkat(dir, aside.c_str(), 0);
  if (!gone_at(dir, aside) && !remove_any_way_at(dir, aside)) return -1;
  ::renameat(dir, entry.c_str(), dir, aside.c_str());
  return gone_at(dir, entry) ? 0 : -1;
}

void remove_browser_links(const Settings& settings, const BrowserList& browsers) {
  log_puts("Remove:\tNetscape links\n", stdout);
  if (!settings.is_root) {
    remove_personal_links(settings.home_dir);
    return;
  }
  for (const BrowserEntry& entry : browsers) {
    if (entry.home_refused) continue;
    remove_beside(entry.exe_path, "Plim");
    remove_beside(entry.exe_path, "plugins/nsplimmo.so");
  }
  if (settings.mode == RunMode::kUninstall) remove_recorded_links(settings);
}

void announce_uninstalled(const Settings& settings) {
  log_line(settings.is_root ? "\nPlim has been uninstalled from your computer.\n"
                            : "\nPlim has been uninstalled from your account.\n");
}

int uninstall_plugin(const Settings& settings, const BrowserList& browsers, InstallDirs& dirs,
                     Announcement announcement) {
  // A tree this run may not remove (another user's) is left whole, with its
  // settings and links, rather than stripped of them.
  if (!dirs.may_change()) {
    report_system_error("access");
    log_printf(stderr, "Error:\tFailed to remove %s\n", printable(dirs.install_path()).c_str());
    return 1;
  }
  if (settings.settings_file) unlink_with_message(*settings.settings_file);
  log_line("Remove:\tNetscape Links");
  remove_browser_links(settings, browsers);
  bool vendor_removed = false;
  if (!dirs.remove_installation(vendor_removed)) {
    log_printf(stderr, "Error:\tFailed to remove %s\n", printable(dirs.install_path()).c_str());
    return 1;
  }
  if (announcement == Announcement::kUninstalled) announce_uninstalled(settings);
  return 0;
}

}  // namespace plim
