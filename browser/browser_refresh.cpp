#include "browser/browser_refresh.h"

#include <unistd.h>

#include <cstdio>

#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/console.h"
#include "core/settings.h"

namespace {

bool eligible(const BrowserEntry& entry, int real_uid, int effective_uid) {
  if (settings.is_root) return entry.owner_uid != -1;
  return entry.owner_uid == real_uid || entry.owner_uid == effective_uid;
}

}  // namespace

int run_as_user(const std::vector<std::string>& argv, int uid) {
  ChildSpec browser;
  browser.argv = argv;
  browser.run_as_uid = uid;
  return run_child(browser);
}

void refresh_running_browsers() {
  int real_uid = static_cast<int>(::getuid());
  int effective_uid = static_cast<int>(::geteuid());
  log_puts("Refresh:\trunning Netscape browsers\n", stdout);
  std::string command = "openFile(" + settings.install_dir.value_or("") + "/welcome.html,PlimPlugin)";
  for (const BrowserEntry& entry : browser_list) {
    if (!eligible(entry, real_uid, effective_uid)) continue;
    log_printf(stdout, "Execute:\t%s %s %s as %d\n", entry.exe_path.c_str(), "--remote", command.c_str(),
               entry.owner_uid);
    run_as_user({entry.exe_path, "--remote", command}, entry.owner_uid);
  }
}
