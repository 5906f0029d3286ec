#include "package/exit_cleanup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "core/retry.h"

namespace plim {

namespace {

void run_live_cleanups();

// The list is made before the handler is registered, so that it is still
// there when the handler runs at exit.
std::vector<ExitCleanup*>& live_cleanups() {
  static std::vector<ExitCleanup*> live;
  static bool registered = std::atexit(run_live_cleanups) == 0;
  (void)registered;
  return live;
}

void run_live_cleanups() {
  std::vector<ExitCleanup*>& live = live_cleanups();
  for (auto it = live.rbegin(); it != live.rend(); ++it) (*it)->run();
}

}  // namespace

ExitCleanup::ExitCleanup() { live_cleanups().push_back(this); }

ExitCleanup::~ExitCleanup() {
  std::vector<ExitCleanup*>& live = live_cleanups();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void ExitCleanup::remove_file(std::string path) { files_.push_back(std::move(path)); }

void ExitCleanup::undo(std::function<void()> work) { undo_.push_back(std::move(work)); }

void ExitCleanup::stop_child(pid_t pid) { children_.push_back(pid); }

void ExitCleanup::child_reaped(pid_t pid) {
  children_.erase(std::remove(children_.begin(), children_.end(), pid), children_.end());
}

void ExitCleanup::run() {
  // The children first: one of them may still be writing below the files.
  for (pid_t pid : children_) ::kill(pid, SIGTERM);
  for (pid_t pid : children_) {
    retry_on_eintr([pid] { return ::waitpid(pid, nullptr, 0); });
  }
  children_.clear();
  for (const std::string& path : files_) ::unlink(path.c_str());
  files_.clear();
  for (const std::function<void()>& work : undo_) work();
  undo_.clear();
}

}  // namespace plim
