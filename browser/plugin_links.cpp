#include "browser/plugin_links.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "browser/acting_user.h"
#include "core/browser_list.h"
#include "core/console.h"
#include "core/file_identity.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "package/link_or_copy.h"

namespace {

// A directory that cannot be made (usually: it is there) is passed over in
// silence; links into it report their own failures.
void make_dir(const std::string& path) {
  if (::mkdir(path.c_str(), kNewDirMode) == 0) log_printf(stdout, "Create:\t%s\n", path.c_str());
}

void announce_link(const std::string& target, const std::string& link) {
  log_printf(stdout, "Link:\t%s to %s\n", target.c_str(), link.c_str());
}

void make_symlink(const std::string& target, const std::string& link) {
  announce_link(target, link);
  if (::symlink(target.c_str(), link.c_str()) != 0) report_system_error("symlink");
}

std::string library_for(char libc_char) {
  return *settings.install_dir + "/nsplimmo_libc" + libc_char + ".so";
}

void link_personal() {
  if (!settings.home_dir || settings.home_dir->empty()) {
    log_puts("Error:\tNo home directory\n", stderr);
    return;
  }
  std::string netscape = *settings.home_dir + "/.netscape";
  make_dir(netscape);
  std::string dir_link = netscape + "/Plim";
  if (dir_link != *settings.install_dir) make_symlink(*settings.install_dir, dir_link);

  std::string library = library_for(browser_list.front().libc_char);
  std::string plugins = netscape + "/plugins";
  make_dir(plugins);
  std::string library_link = plugins + "/nsplimmo.so";
  if (library_link != library) {
    announce_link(library, library_link);
    link_or_copy(library.c_str(), library_link.c_str());
  }
}

void link_browser(const BrowserEntry& entry) {
  const std::string& home = entry.browser_home;
  std::string plugins = home + "/plugins";
  FileIdentity as_owner(acting_user(entry.home_chosen_by, {home, plugins}));
  if (!as_owner) {
    report_system_error(as_owner.failed_call());
    log_printf(stderr, "Error:\tCould not act as the owner of %s\n", home.c_str());
    return;
  }
  make_symlink(*settings.install_dir, home + "/Plim");
  std::string library = library_for(entry.libc_char);
  make_dir(plugins);
  make_symlink(library, plugins + "/nsplimmo.so");
}

}  // namespace

void create_browser_links() {
  log_puts("Create:\tNetscape links\n", stdout);
  if (!settings.is_root) {
    link_personal();
    return;
  }
  for (const BrowserEntry& entry : browser_list) link_browser(entry);
}
