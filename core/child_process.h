#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace plim {

// What a failed fork does to the run.
enum class ForkFailure {
  kEndRun,  // reported as "fork", and the process ends with status 1
  kGoOn,    // reported as "fork"; the caller sees -1 and goes on without the child
};

// How every child of the installer is started: redirections spelled out,
// the program looked up along PATH (execvp), and a failed exec ending the
// child with _exit(1), after the system error unless the child is silent, so
// it never returns into our code.
struct ChildSpec {
  std::vector<std::string> argv;  // argv[0] is looked up along PATH
  // When >= 0, the file open on this descriptor is executed (execveat with
  // AT_EMPTY_PATH) instead of argv[0] looked up along PATH: the very file the
  // caller identified, whatever the path names by now.
  int exec_fd = -1;
  int stdin_fd = -1;   // dup2'ed onto 0 when >= 0
  int stdout_fd = -1;  // dup2'ed onto 1 when >= 0
  // The call named in the system error when exec fails. The program is
  // always started by execvp (execveat with exec_fd), and "execvp" names it;
  // the banner's clear ("execve") and the pipeline's decompressor ("execv")
  // keep the names their messages have always given.
  const char* exec_call = "execvp";
  // False: a failed exec (or a failed step becoming run_as_uid) ends the
  // child with status 1 and no message at all, for a child whose status
  // alone tells the caller that it failed (the licence's gunzip).
  bool exec_failure_reported = true;
  // Printed before the program name and a line end, after the system error,
  // when exec fails; null for none.
  const char* exec_failure_text = "Failed to execute";
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
  // run, so it never runs with more rights than its user has.
  //
  // Started by root, or as a user other than the installer's real one, the
  // child is a stranger to the run (see run_child).
  int run_as_uid = -1;
  ForkFailure on_fork_failure = ForkFailure::kEndRun;
  // How long a stranger child may take before it is killed.
  std::chrono::milliseconds time_limit = std::chrono::seconds(30);
  // The most of a stranger's output passed on; the rest is read and dropped.
  std::size_t output_limit = std::size_t{64} * 1024;
  // In place of a program: a function of ours run in a stranger child once
  // it has become run_as_uid (its session, environment and relayed output as
  // a program's would be), its result the exit status. Tabs in its output
  // are passed on as they are: its lines are the installer's own messages.
  // argv[0] names it in messages.
  std::function<int()> body;
};

// How a child ended.
struct ChildEnd {
  int status = -1;         // the wait status; -1 when it was not started or not reaped
  bool timed_out = false;  // a stranger killed at its time limit
};

// Flushes standard output and the run log (so the child's output lands after
// ours, and the child never writes our buffered lines a second time) and forks.
// Returns the child's pid; a failed fork is reported as "fork" and, as
// on_fork_failure says, ends the process with status 1 or returns -1.
pid_t start_child(const ChildSpec& child);

// Waits for a child, repeating the wait while a signal interrupts it.
// Returns the wait status, or -1 when the wait itself failed.
int wait_for_child(pid_t pid);

// Runs the child and returns its wait status (-1 when it could not be
// started or waited for).
//
// A stranger child (see run_as_uid) gets nothing of root's: a fresh
// environment (stranger_environment), a session of its own and so no
// controlling terminal, standard input from /dev/null, no descriptor above 2,
// and standard output and error through a pipe that the installer copies to
// its own standard output with every line made printable (standard error
// discarded instead when stderr_to_null says so). Only its first 64 KiB are
// passed on; the rest is read and dropped, and counted in one line
// ("Error:\tDropped %llu bytes of output from %s after its first 65536\n").
// One that has not ended after time_limit is killed with its process group,
// reaped (waited for half a second at most), and reported ("Error:\t%s did
// not finish in %lld seconds\n", the limit rounded up); the run goes on. The
// relay looks at the clock between reads, so however fast the child writes,
// or a descendant goes on writing after it ended, run_child returns within
// time_limit and a fraction of a second.
int run_child(const ChildSpec& child);

// run_child, also telling whether the child was killed at its time limit.
ChildEnd run_child_to_end(const ChildSpec& child);

// The whole environment of a stranger child run as `uid`: HOME, USER and
// LOGNAME from its password entry (HOME=/ and no names for a user id without
// one), PATH=/usr/local/bin:/usr/bin:/bin, and of the installer's own
// environment `current` only DISPLAY, LANG and the LC_* variables, which a
// browser's remote command needs.
std::vector<std::string> stranger_environment(uid_t uid, char* const* current);

}  // namespace plim
