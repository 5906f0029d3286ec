#include "browser/uninstall.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "browser/acting_user.h"
#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/console.h"
#include "core/file_identity.h"
#include "core/paths.h"
#include "core/settings.h"

namespace {

bool gone(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) != 0;
}

void unlink_with_message(const std::string& path) {
  if (::unlink(path.c_str()) == 0) log_printf(stdout, "Remove:\t%s\n", path.c_str());
}

// Unlink, then rmdir, then the recursive removal: the first that works.
bool remove_any_way(const std::string& path, int uid) {
  return ::unlink(path.c_str()) == 0 || ::rmdir(path.c_str()) == 0 || remove_recursive(path, uid) == 0;
}

void remove_personal_links() {
  if (!settings.home_dir || settings.home_dir->empty()) return;
  std::string netscape = *settings.home_dir + "/.netscape";
  remove_recursive(netscape + "/Plim");
  unlink_with_message(netscape + "/plugins/nsplimmo.so");
  unlink_with_message(netscape + "/pluginlist");
}

// Leaves whatever directory the run was in, so the tree can go; "/" is
// always there, and staying put would only keep a removed directory current.
void enter_root_dir() {
  if (::chdir("/") != 0) return;
}

void remove_install_tree() {
  bool installed = ::chdir(settings.install_dir->c_str()) == 0;
  enter_root_dir();
  if (installed) {
    log_printf(stdout, "Remove Recursive: %s\n", settings.install_dir->c_str());
    remove_recursive(*settings.install_dir);
  }
  if (::rmdir(settings.vendor_dir->c_str()) == 0)
    log_printf(stdout, "Remove:\t%s\n", settings.vendor_dir->c_str());
}

}  // namespace

int remove_recursive(const std::string& path, int uid) {
  ChildSpec rm;
  rm.argv = {"rm", "-rf", path};
  rm.stderr_to_null = true;
  rm.exec_failure_format = nullptr;
  rm.run_as_uid = uid;
  rm.on_fork_failure = ForkFailure::go_on;
  run_child(rm);
  return gone(path) ? 0 : -1;
}

int remove_beside(const std::string& exe_path, const std::string& name) {
  std::string dir = directory_of(exe_path);
  std::string target = dir + name;
  uid_t owner = acting_user(-1, {dir, directory_of(target)});
  FileIdentity as_owner(owner);
  if (!as_owner) return gone(target) ? 0 : -1;
  int uid = owner == static_cast<uid_t>(-1) ? -1 : static_cast<int>(owner);

  ::unlink(target.c_str());
  if (gone(target)) return 0;
  if (remove_any_way(target, uid)) return 0;

  std::string aside = target + "~";
  ::unlink(aside.c_str());
  if (!gone(aside) && !remove_any_way(aside, uid)) return -1;
  ::rename(target.c_str(), aside.c_str());
  return gone(target) ? 0 : -1;
}

void remove_browser_links() {
  log_puts("Remove:\tNetscape links\n", stdout);
  if (!settings.is_root) {
    remove_personal_links();
    return;
  }
  for (const BrowserEntry& entry : browser_list) {
    remove_beside(entry.exe_path, "Plim");
    remove_beside(entry.exe_path, "plugins/nsplimmo.so");
  }
}

int uninstall_plugin() {
  if (settings.settings_file) unlink_with_message(*settings.settings_file);
  log_line("Remove:\tNetscape Links");
  remove_browser_links();
  if (settings.prefix) remove_install_tree();
  if (settings.uninstall || settings.upgrade)
    log_line(settings.is_root ? "\nPlim has been uninstalled from your computer.\n"
                              : "\nPlim has been uninstalled from your account.\n");
  return 0;
}
