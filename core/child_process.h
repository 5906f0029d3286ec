#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// How every child of the installer is started: redirections spelled out,
// the program looked up along PATH, and a failed exec ending the child with
// _exit(1) after the system error, so it never returns into our code.
struct ChildSpec {
  std::vector<std::string> argv;  // argv[0] is looked up along PATH
  int stdin_fd = -1;              // dup2'ed onto 0 when >= 0
  int stdout_fd = -1;             // dup2'ed onto 1 when >= 0
  // The call named in the system error when exec fails ("execvp", "execve").
  const char* exec_call = "execvp";
  // Printed (with the program name) after the system error when exec fails;
  // null for none.
  const char* exec_failure_format = "Failed to execute %s\n";
  // Whether that line also goes to the run log (the package builder's
  // children say so in both places).
  bool exec_failure_to_run_log = false;
  // Descriptors the child must not inherit (the parent's ends of pipes).
  std::vector<int> close_in_child;
  // Standard error goes to /dev/null (left alone when that cannot be opened).
  bool stderr_to_null = false;
  // The user the program runs as; -1 keeps the installer's ids. The child
  // takes that user's groups (initgroups, or no supplementary groups and the
  // overflow group 65534 for a user id without a password entry), then its
  // group ids, then its user ids, and checks that root cannot be regained;
  // any failed step is reported like a failed exec and the program is not
  // run, so it never runs with more rights than its user has. For a user id
  // other than the installer's real one, HOME, USER and LOGNAME come from the
  // password entry when there is one.
  int run_as_uid = -1;
};

// Flushes standard output and the run log (so the child's output lands after
// ours, and the child never writes our buffered lines a second time) and forks.
// Returns the child's pid; a failed fork is reported as "fork" and ends the
// process with status 1.
pid_t start_child(const ChildSpec& child);

// Waits for a child, repeating the wait while a signal interrupts it.
// Returns the wait status, or -1 when the wait itself failed.
int wait_for_child(pid_t pid);

// start_child followed by wait_for_child.
int run_child(const ChildSpec& child);
