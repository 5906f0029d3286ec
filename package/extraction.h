#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/package_contents.h"

namespace plim {

// Turns the package's members into files in the target directory. The compressed data is never decompressed
// here: it is streamed from the mapping of the own file into the system's
// gunzip (and tar, or the pager) through pipes, without being copied into
// memory of ours. Every operation either succeeds or ends the process with
// status 1 after saying why; a package without members ends it the same way.

// Where the members go: a directory held open, entered (fchdir) by every
// step before it creates anything, so that tar and gunzip work there too.
struct MemberTarget {
  int dir_fd;       // O_RDONLY|O_DIRECTORY
  std::string dir;  // its path as messages name it (for a staged tree, the installation's)
  // Made by this run: tar may give it the mode and owner of the archive's
  // "./". One that was there before is the user's, with the mode and owner
  // the user gave it.
  bool dir_is_new;
  // The installation directory is the installer's own: a temporary copy
  // found there was left by a killed run and is replaced. Anywhere else
  // (an extraction's directory) such a file stops the run.
  bool installers_own;
};

// Writes "uninstall": the bare executable image, mode 0755.
void write_uninstaller(const PackageContents& contents, const MemberTarget& target);

// Writes the compressed licence under its member name, mode 0644. The
// compressed licence and archive are temporary copies: when a file of either
// name is already in the target directory, the run stops with an error line
// (standard error and run log) and status 1 before anything is written.
void write_license_file(const PackageContents& contents, const MemberTarget& target);

// Writes the compressed licence and decompresses it in place ("gunzip -f"),
// leaving the licence text under the member name without ".gz".
void unpack_license(const PackageContents& contents, const MemberTarget& target);

// Shows the licence through "less -eM"; nothing of it stays on disk. A pager
// that quits early is normal; a licence that does not decompress ends the run.
void show_license(const PackageContents& contents, const MemberTarget& target);

// Writes the compressed archive, unpacks it through gunzip into "tar xvvf -"
// in the target directory, and removes the compressed file again. The file
// is created at full length first and filled while gunzip works; an exit
// before the end (a failed write into it, among others) removes it too. A target
// directory that was there before the run keeps its mode and owner.
void unpack_archive(const PackageContents& contents, const MemberTarget& target);

// Tests that the licence and the archive decompress cleanly ("gunzip -t" fed
// from the mapping), printing nothing when they do. A damaged member is
// reported like a failed unpacking and ends the process with status 1, so
// that a damaged package never costs the user the installation they have.
void verify_package_members(const PackageContents& contents);

// The wait statuses of the two children of pipe_through_gunzip.
struct PipelineStatus {
  int decompressor;
  int consumer;
};

// One step of work done while a pipe is full; returns whether more is left.
using BackgroundWork = std::function<bool()>;

// What the two children of pipe_through_gunzip may print.
enum class PipelineOutput {
  kAll,          // both print to our standard output and error as they will
  kListingOnly,  // the consumer's standard output only; their error messages are discarded
  kNothing,      // nothing at all: only their statuses count
};

// Feeds `length` bytes at `data` to "gunzip -dc -", whose output is the
// standard input of a child running `consumer`; returns when both have ended.
// `background`, when given, is stepped whenever the pipe into gunzip is full,
// and to its end before the wait. `output` says what the children may print.
// A consumer that stops reading early ends the input quietly (the write sees
// EPIPE; SIGPIPE is ignored meanwhile). Pipe, fork, write and wait failures
// end the process with status 1; that exit, and any other before both
// children are reaped (one in `background` too), stops and reaps them.
PipelineStatus pipe_through_gunzip(const char* data, std::size_t length,
                                   const std::vector<std::string>& consumer,
                                   const BackgroundWork& background = {},
                                   PipelineOutput output = PipelineOutput::kAll);

// For a child that failed, prints "Error:\t<name> exited with status <n>" or
// "Error:\t<name> was signaled" (standard error and run log) and returns true.
bool report_child_failure(const char* name, int wait_status);

}  // namespace plim
