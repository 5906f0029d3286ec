#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace plim {

// What an exit in the middle of extraction must not leave behind: the
// archive's half-made temporary copy, and the children of a pipeline, which
// would otherwise go on unpacking (or wait for input that never comes) after
// the installer has gone. Failures there end the process with std::exit from
// deep inside (a failed write, pipe, fork or wait); while an ExitCleanup
// lives, such an exit stops its children (SIGTERM), reaps them, and then
// removes its files. Going out of scope undoes nothing: the work is done.
class ExitCleanup {
 public:
  ExitCleanup();
  ~ExitCleanup();
  ExitCleanup(const ExitCleanup&) = delete;
  ExitCleanup& operator=(const ExitCleanup&) = delete;

  // A file (relative to the current directory at the exit) this run made.
  void remove_file(std::string path);
  // A child that must end with us; child_reaped once it has been waited for,
  // so that a later exit never signals a process id used again.
  void stop_child(pid_t pid);
  void child_reaped(pid_t pid);
  // Work to undo at an exit, after the children have stopped and the files
  // have gone (a staged tree, directories the run made).
  void undo(std::function<void()> work);

  // Called at exit for every live ExitCleanup, newest first.
  void run();

 private:
  std::vector<pid_t> children_;
  std::vector<std::string> files_;
  std::vector<std::function<void()>> undo_;
};

}  // namespace plim
