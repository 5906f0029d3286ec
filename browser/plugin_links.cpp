#include "browser/plugin_links.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/browser_list.h"
#include "core/file_identity.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/trusted_path.h"
#include "package/link_or_copy.h"

namespace plim {

namespace {

// A directory that cannot be made (usually: it is there) is passed over in
// silence; links into it report their own failures.
void make_dir(const std::string& path) {
  if (::mkdir(path.c_str(), kNewDirMode) == 0) log_printf(stdout, "Create:\t%s\n", path.c_str());
}

void announce_link(const std::string& target, const std::string& link) {
  log_printf(stdout, "Link:\t%s to %s\n", target.c_str(), printable(link).c_str());
}

void make_symlink(const std::string& target, const std::string& link) {
  announce_link(target, link);
  if (::symlink(target.c_str(), link.c_str()) != 0) report_system_error("symlink");
}

std::string library_for(const std::string& install_dir, char libc_char) {
  return install_dir + "/nsplimmo_libc" + libc_char + ".so";
}

void link_personal(const Settings& settings, const BrowserEntry& first) {
  const std::string& install_dir = *settings.install_dir;
  if (!settings.home_dir || settings.home_dir->empty()) {
    log_puts("Error:\tNo home directory\n", stderr);
    return;
  }
  std::string netscape = *settings.home_dir + "/.netscape";
  make_dir(netscape);
  std::string dir_link = netscape + "/Plim";
  if (dir_link != install_dir) make_symlink(install_dir, dir_link);

  std::string library = library_for(install_dir, first.libc_char);
  std::string plugins = netscape + "/plugins";
  make_dir(plugins);
  std::string library_link = plugins + "/nsplimmo.so";
  if (library_link != library) {
    announce_link(library, library_link);
    link_or_copy(library.c_str(), library_link.c_str());
  }
}

// The user root acts as in a browser home: the one whose MOZILLA_HOME chose
// it, the one who controls the way to it, or both when they are the same.
// Sets `refusal` when they are two different users.
int actor_for(int chosen_by, int controller, std::string& refusal) {
  if (chosen_by < 0 || controller < 0 || chosen_by == controller)
    return chosen_by >= 0 ? chosen_by : controller;
  refusal = "controlled by " + user_name(controller) + " and " + user_name(chosen_by);
  return -1;
}

// A name created in the directory `reached` names whole; for a missing or
// non-directory last component the error the creation would have met.
bool usable_dir(const ReachedPath& reached) {
  int error = reached.directory_error();
  if (error != 0) errno = error;
  return error == 0;
}

void symlink_in(const std::string& target, const ReachedPath& dir, const char* name,
                const std::string& shown) {
  announce_link(target, shown);
  if (!usable_dir(dir) || ::symlinkat(target.c_str(), dir.dir.get(), name) != 0)
    report_system_error("symlink");
}

// Root works in the home through descriptors and as the user who could
// rearrange it, so no link swapped into the way leads root's rights elsewhere.
void link_browser(const std::string& install_dir, const BrowserEntry& entry) {
  const std::string& home = entry.browser_home;
  std::string plugins = home + "/plugins";
  ReachedPath home_dir = reach_path(home, LastLink::kFollow);
  int actor = actor_for(entry.home_chosen_by, home_dir.controller, home_dir.refusal);
  if (home_dir.refused()) return report_refusal(home, home_dir);
  FileIdentity as_actor(actor);
  if (!as_actor || home_dir.failed_call) {
    if (home_dir.failed_call) errno = home_dir.error;
    report_system_error(home_dir.failed_call ? home_dir.failed_call : as_actor.failed_call());
    log_printf(stderr, "Error:\tCould not act as the owner of %s\n", printable(home).c_str());
    return;
  }
  symlink_in(install_dir, home_dir, "Plim", home + "/Plim");
  std::string library = library_for(install_dir, entry.libc_char);
  if (usable_dir(home_dir) && ::mkdirat(home_dir.dir.get(), "plugins", kNewDirMode) == 0)
    log_printf(stdout, "Create:\t%s\n", printable(plugins).c_str());

  ReachedPath plugins_dir = reach_path_at(home_dir, "plugins", LastLink::kFollow);
  actor_for(actor, plugins_dir.controller, plugins_dir.refusal);
  if (plugins_dir.refused()) return report_refusal(plugins, plugins_dir);
  FileIdentity as_plugins_actor(plugins_dir.controller);  // the same user, or one taken on below the home
  if (as_plugins_actor) symlink_in(library, plugins_dir, "nsplimmo.so", plugins + "/nsplimmo.so");
}

}  // namespace

void create_browser_links(const Settings& settings, const BrowserList& browsers) {
  log_puts("Create:\tNetscape links\n", stdout);
  if (!settings.is_root) {
    link_personal(settings, browsers.front());
    return;
  }
  for (const BrowserEntry& entry : browsers)
    if (!entry.home_refused) link_browser(*settings.install_dir, entry);
}

}  // namespace plim
