#include "browser/browser_refresh.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "browser/refresh_budget.h"
#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/file_identity.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/trusted_path.h"
#include "core/unique_fd.h"

namespace plim {

namespace {

bool eligible(const BrowserEntry& entry, bool is_root, int real_uid, int effective_uid) {
  if (is_root) return entry.owner_uid != -1;
  return entry.owner_uid == real_uid || entry.owner_uid == effective_uid;
}

// A file root may execute: root's own, and writable by no one else.
bool is_roots_alone(const struct stat& st) { return st.st_uid == 0 && (st.st_mode & 022) == 0; }

// The user's rights decide what the path reaches, as when the user started
// the program.
UniqueFd open_as_owner(const BrowserEntry& entry, std::string& refusal) {
  FileIdentity as_owner(static_cast<uid_t>(entry.owner_uid));
  if (!as_owner) {
    refusal = std::string(as_owner.failed_call()) + ": " + std::strerror(errno);
    return UniqueFd();
  }
  UniqueFd program(::open(entry.exe_path.c_str(), O_PATH | O_CLOEXEC));
  if (!program) refusal = std::strerror(errno);
  return program;
}

// Root runs only a program that no ordinary user could have put in the way:
// every directory and link on the path, and the file, are root's.
UniqueFd open_as_root(const std::string& path, std::string& refusal) {
  ReachedPath reached = reach_path(path, LastLink::kFollow);
  if (reached.refused()) {
    refusal = reached.refusal;
    return UniqueFd();
  }
  if (reached.failed()) {
    refusal = std::strerror(reached.error);
    return UniqueFd();
  }
  if (reached.controller != -1) {
    refusal = "the way to it is not root's alone";
    return UniqueFd();
  }
  UniqueFd program(::openat(reached.dir.get(), reached.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!program) refusal = std::strerror(errno);
  return program;
}

}  // namespace

UniqueFd open_identified_program(const BrowserEntry& entry, std::string& refusal) {
  bool as_root = entry.owner_uid == 0 && ::geteuid() == 0;
  if (as_root && entry.found_by_cmdline) {
    refusal = "a command line named it, not the running program";
    return UniqueFd();
  }
  UniqueFd program = as_root ? open_as_root(entry.exe_path, refusal) : open_as_owner(entry, refusal);
  if (!program) return program;
  struct stat st;
  if (::fstat(program.get(), &st) != 0) {
    refusal = std::strerror(errno);
    return UniqueFd();
  }
  if (!entry.is(st)) {
    refusal = "it is no longer the browser that was found";
    return UniqueFd();
  }
  if (as_root && !is_roots_alone(st)) {
    refusal = "another user may change it";
    return UniqueFd();
  }
  return program;
}

ChildEnd run_as_user(const std::vector<std::string>& argv, int program_fd, int uid,
                     std::chrono::milliseconds time_limit) {
  ChildSpec browser;
  browser.argv = argv;
  browser.exec_fd = program_fd;
  browser.run_as_uid = uid;
  browser.on_fork_failure = ForkFailure::kGoOn;
  browser.time_limit = time_limit;
  return run_child_to_end(browser);
}

namespace {

// The entry as refreshed for one of the users running it.
std::vector<BrowserEntry> entry_per_owner(const BrowserEntry& listed) {
  std::vector<BrowserEntry> entries{listed};
  for (const BrowserEntry::OtherOwner& other : listed.other_owners) {
    BrowserEntry& entry = entries.emplace_back(listed);
    entry.owner_uid = other.uid;
    entry.found_by_cmdline = other.found_by_cmdline;
  }
  for (BrowserEntry& entry : entries) entry.other_owners.clear();
  return entries;
}

std::string refusal_text(RefreshRefusal refusal) {
  switch (refusal) {
    case RefreshRefusal::kUserHung:
      return "a refresh as that user did not finish";
    case RefreshRefusal::kUserTimeUp:
      return "that user's " + std::to_string(kRefreshSecondsPerUser) + " seconds are used up";
    case RefreshRefusal::kAllTimeUp:
      return "the refresh's " + std::to_string(kRefreshSecondsInAll) + " seconds are used up";
    case RefreshRefusal::kNone:
      break;
  }
  return {};
}

void refresh_one(const BrowserEntry& entry, const std::string& command, RefreshBudget& budget) {
  RefreshBudget::Clock::time_point start = RefreshBudget::Clock::now();
  if (RefreshRefusal refusal = budget.refusal(entry.owner_uid, start); refusal != RefreshRefusal::kNone) {
    log_printf(stderr, "Error:\tNot refreshing %s as %d: %s\n", printable(entry.exe_path).c_str(),
               entry.owner_uid, refusal_text(refusal).c_str());
    return;
  }
  log_execute(stdout, {printable(entry.exe_path), "--remote", printable(command)},
              (" as " + std::to_string(entry.owner_uid) + "\n").c_str());
  std::string refusal;
  UniqueFd program = open_identified_program(entry, refusal);
  if (!program) {
    log_printf(stderr, "Error:\tNot refreshing %s: %s\n", printable(entry.exe_path).c_str(), refusal.c_str());
    return;
  }
  auto share = std::chrono::ceil<std::chrono::milliseconds>(budget.share(entry.owner_uid, start));
  ChildEnd end = run_as_user({entry.exe_path, "--remote", command}, program.get(), entry.owner_uid, share);
  budget.charge(entry.owner_uid, RefreshBudget::Clock::now() - start, end.timed_out);
}

}  // namespace

void refresh_running_browsers(const Settings& settings, const BrowserList& browsers) {
  int real_uid = static_cast<int>(::getuid());
  int effective_uid = static_cast<int>(::geteuid());
  log_puts("Refresh:\trunning Netscape browsers\n", stdout);
  std::string command = "openFile(" + settings.install_dir.value_or("") + "/welcome.html,PlimPlugin)";
  RefreshBudget budget(std::chrono::seconds(kRefreshSecondsPerUser),
                       std::chrono::seconds(kRefreshSecondsInAll), RefreshBudget::Clock::now());
  for (const BrowserEntry& listed : browsers) {
    // Nothing was linked in a home refused to its runner: nothing to announce there.
    if (listed.home_refused) continue;
    for (const BrowserEntry& entry : entry_per_owner(listed))
      if (eligible(entry, settings.is_root, real_uid, effective_uid)) refresh_one(entry, command, budget);
  }
}

}  // namespace plim
