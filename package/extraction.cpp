#include "package/extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/child_process.h"
#include "core/colon_list.h"
#include "core/package_contents.h"
#include "core/paths.h"
#include "core/retry.h"
#include "core/run_log.h"
#include "core/system_error.h"
#include "core/unique_fd.h"
#include "package/exit_cleanup.h"
#include "package/output_file.h"
#include "package/self_inspection.h"

namespace plim {

namespace {

constexpr mode_t kUninstallerMode = 0755;
constexpr mode_t kMemberMode = 0644;
constexpr int kPipeSize = 1 << 20;
// How much of the archive's temporary copy is made each time the pipe into
// gunzip is full: small beside the time gunzip takes to drain the pipe.
constexpr std::uint32_t kCopyStep = 1 << 20;

// Sets a signal's disposition and puts the previous one back when it goes.
class ScopedSignalDisposition {
 public:
  ScopedSignalDisposition(int signal, void (*handler)(int)) : signal_(signal) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_, &action, &previous_);
  }
  ~ScopedSignalDisposition() { ::sigaction(signal_, &previous_, nullptr); }
  ScopedSignalDisposition(const ScopedSignalDisposition&) = delete;
  ScopedSignalDisposition& operator=(const ScopedSignalDisposition&) = delete;

 private:
  int signal_;
  struct sigaction previous_;
};

// A bare executable (the installed uninstaller, a freshly linked program)
// carries no members; there is nothing to write or show.
void require_members(const PackageContents& contents) {
  if (contents.license_name && contents.archive_name) return;
  log_puts("Error:\tThis program carries no package to unpack\n", stderr);
  std::exit(1);
}

void enter_target_directory(const MemberTarget& target) {
  log_printf(nullptr, "chdir:\t%s\n", target.dir.c_str());
  if (::fchdir(target.dir_fd) != 0) exit_on_system_error("chdir");
}

// Appends the `length` bytes at `data`, which lie in the own file, to `file`
// by a copy inside the kernel.
void append_own_bytes(OutputFile& file, const char* data, std::size_t length) {
  off_t offset = own_file_offset(data, length);
  file.append(data, length, offset < 0 ? -1 : own_file_descriptor(), offset);
}

// Creates `name` in the target directory, open for appending the bytes.
OutputFile create_member(const MemberTarget& target, const char* name, std::uint32_t length, mode_t mode,
                         ExistingFile existing) {
  enter_target_directory(target);
  log_printf(stdout, "Create:\t%s/%s\n", target.dir.c_str(), name);
  return create_output_file(name, length, mode, existing);
}

// Creates `name` in the target directory with the bytes of the own file,
// copied inside the kernel.
void write_member(const MemberTarget& target, const char* name, const char* data, std::uint32_t length,
                  mode_t mode, ExistingFile existing) {
  OutputFile file = create_member(target, name, length, mode, existing);
  append_own_bytes(file, data, length);
  file.complete();
}

// The compressed licence and archive are written into the target only to be
// removed again. In extract mode a file already under one of those names
// cannot be ours: it may be the very members a vendor keeps there. Replacing
// it and then removing the copy would lose it, so the run stops before it
// changes anything in the directory. The installation directory is the
// installer's own (uninstalling removes it whole), so a copy found there was
// left by a run that was killed, and goes.
void require_temporary_names_free(const PackageContents& contents, const MemberTarget& target) {
  for (const char* name : {contents.license_name, contents.archive_name}) {
    struct stat st;
    if (::fstatat(target.dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
      continue;  // creating it reports any other trouble
    if (target.installers_own && S_ISREG(st.st_mode) && ::unlinkat(target.dir_fd, name, 0) == 0) continue;
    log_printf(stderr, "Error:\t%s/%s already exists and is not ours to replace\n", target.dir.c_str(), name);
    std::exit(1);
  }
}

// A temporary copy of a member: never over a file of the same name.
void write_temporary_member(const PackageContents& contents, const MemberTarget& target, const char* name,
                            const char* data, std::uint32_t length) {
  require_members(contents);
  require_temporary_names_free(contents, target);
  write_member(target, name, data, length, kMemberMode, ExistingFile::kRefuse);
}

int wait_or_exit(pid_t pid) {
  int status = wait_for_child(pid);
  if (status == -1) exit_on_system_error("wait");
  return status;
}

void set_blocking(int fd, bool blocking) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

// Moves up to `length` bytes at `data` into the pipe `fd`, as write does.
// Bytes of the own file go by reference to its pages (splice) rather than
// by a copy into the pipe; elsewhere, or where the kernel cannot, by write.
ssize_t put_into_pipe(int fd, const char* data, std::size_t length, bool nonblocking) {
  off_t offset = own_file_offset(data, length);
  if (offset >= 0) {
    unsigned flags = SPLICE_F_MORE | (nonblocking ? SPLICE_F_NONBLOCK : 0);
    ssize_t moved = ::splice(own_file_descriptor(), &offset, fd, nullptr, length, flags);
    if (moved > 0 || (moved < 0 && errno != EINVAL && errno != ENOSYS)) return moved;
  }
  return ::write(fd, data, length);
}

// Writes all of `data` into the pipe `fd`. While there is background work,
// the pipe is written without blocking, and whenever it is full one step of
// that work is done instead of waiting for the reader. A reader that has gone
// away ends the input: EPIPE (SIGPIPE being ignored meanwhile) is no failure.
// Returns false after reporting any other write error.
bool feed_pipe(int fd, const char* data, std::size_t length, const BackgroundWork& background) {
  ScopedSignalDisposition ignore_sigpipe(SIGPIPE, SIG_IGN);
  bool overlapping = bool(background);
  if (overlapping) set_blocking(fd, false);
  while (length > 0) {
    ssize_t written = retry_on_eintr([&] { return put_into_pipe(fd, data, length, overlapping); });
    if (written < 0) {
      if (errno == EAGAIN && overlapping) {
        overlapping = background();
        if (!overlapping) set_blocking(fd, true);
        continue;
      }
      if (errno == EPIPE) return true;
      report_system_error("write");
      return false;
    }
    if (written == 0) {  // the own file ended early: it changed under us
      errno = EIO;
      report_system_error("write");
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

void make_pipe(UniqueFd& read_end, UniqueFd& write_end) {
  int fds[2];
  // Close-on-exec: no other child may hold an end open, or the reader
  // would never see the end of its input.
  if (::pipe2(fds, O_CLOEXEC) != 0) exit_on_system_error("pipe");
  read_end.reset(fds[0]);
  write_end.reset(fds[1]);
#ifdef F_SETPIPE_SZ
  // Tens of megabytes pass through here; a larger pipe saves most of the
  // wake-ups between writer and reader (about a tenth of the extraction
  // time). Where the system refuses, the default size works as well.
  ::fcntl(fds[1], F_SETPIPE_SZ, kPipeSize);
#endif
}

// A decompressor killed by SIGPIPE only tells that its reader stopped early;
// whether that reader failed, its own status says.
bool reader_stopped_early(int decompressor_status) {
  return WIFSIGNALED(decompressor_status) && WTERMSIG(decompressor_status) == SIGPIPE;
}

// Feeds a member to "gunzip -t"; returns its wait status.
int test_member(const char* data, std::size_t length) {
  UniqueFd input_read, input_write;
  make_pipe(input_read, input_write);
  ChildSpec tester;
  tester.argv = {"gunzip", "-t"};
  tester.stdin_fd = input_read.get();
  pid_t pid;
  {
    ScopedSignalDisposition default_sigpipe(SIGPIPE, SIG_DFL);
    pid = start_child(tester);
  }
  input_read.reset();
  bool fed = feed_pipe(input_write.get(), data, length, {});
  input_write.reset();
  int status = wait_or_exit(pid);
  if (!fed) std::exit(1);
  return status;
}

// The unpacking needs tar as well as gunzip. Found missing only then, after
// the previous installation was removed, it would cost the user that
// installation; so it is started once beforehand.
void require_tar() {
  UniqueFd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  ChildSpec probe;
  probe.argv = {"tar", "--version"};
  probe.stdout_fd = null.get();
  if (report_child_failure("tar", run_child(probe))) std::exit(1);
}

// Whether PATH (or the system's default path) holds an executable `name`.
bool found_on_path(const char* name) {
  const char* path = std::getenv("PATH");
  for (std::string_view dir : split_at_colons(path ? path : "/usr/bin:/bin")) {
    std::string candidate = (dir.empty() ? "." : std::string(dir)) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

}  // namespace

bool report_child_failure(const char* name, int wait_status) {
  if (WIFSIGNALED(wait_status)) {
    log_printf(stderr, "Error:\t%s was signaled\n", name);
    return true;
  }
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) != 0) {
    log_printf(stderr, "Error:\t%s exited with status %d\n", name, WEXITSTATUS(wait_status));
    return true;
  }
  return false;
}

void write_uninstaller(const PackageContents& contents, const MemberTarget& target) {
  write_member(target, "uninstall", contents.image, contents.trailer.exe_length(), kUninstallerMode,
               ExistingFile::kMoveAside);
}

void write_license_file(const PackageContents& contents, const MemberTarget& target) {
  write_temporary_member(contents, target, contents.license_name, contents.license_data,
                         contents.trailer.license_length());
}

void unpack_license(const PackageContents& contents, const MemberTarget& target) {
  write_license_file(contents, target);
  ChildSpec gunzip;
  gunzip.argv = {"gunzip", "-f", contents.license_name};
  // Its status alone says that the unpacking failed.
  gunzip.exec_failure_reported = false;
  log_execute(stdout, gunzip.argv);
  std::fflush(stdout);
  if (report_child_failure("gunzip", wait_or_exit(start_child(gunzip)))) {
    // gunzip keeps the compressed file when it fails. It is this run's own
    // copy, and left behind it would block the next run as a stranger's file.
    ::unlinkat(target.dir_fd, contents.license_name, 0);
    std::exit(1);
  }
}

void show_license(const PackageContents& contents, const MemberTarget& target) {
  log_puts("View:\tLicense\n", nullptr);
  write_license_file(contents, target);
  // Without a pager the text still reaches the person before the question;
  // a licence "shown" by a pager that could not start was accepted unseen.
  std::vector<std::string> pager = {"less", "-eM"};
  if (!found_on_path("less")) pager = {"cat"};
  PipelineStatus status =
      pipe_through_gunzip(contents.license_data, contents.trailer.license_length(), pager);
  ::unlinkat(target.dir_fd, contents.license_name, 0);
  // The pager's own status is its business (the person may quit at once);
  // a licence that cannot be decompressed was not shown.
  if (!reader_stopped_early(status.decompressor) && report_child_failure("gunzip", status.decompressor))
    std::exit(1);
}

void unpack_archive(const PackageContents& contents, const MemberTarget& target) {
  require_members(contents);
  require_temporary_names_free(contents, target);
  const char* name = contents.archive_name;
  const char* data = contents.archive_data;
  std::uint32_t length = contents.trailer.archive_length();
  OutputFile copy = create_member(target, name, length, kMemberMode, ExistingFile::kRefuse);
  // Made by this run and only for it: whatever ends the run now, it goes.
  ExitCleanup cleanup;
  cleanup.remove_file(name);

  // The archive's file is created at its full length before unpacking starts,
  // and removed after; its bytes go in while gunzip works on the same bytes
  // from the mapping, in the time our process would otherwise wait on the
  // pipe, so the copy adds (almost) nothing to the time of the unpacking.
  std::uint32_t copied = 0;
  auto copy_step = [&] {
    std::uint32_t step = std::min(kCopyStep, length - copied);
    append_own_bytes(copy, data + copied, step);
    copied += step;
    return copied < length;
  };

  std::vector<std::string> tar = {"tar", "xvvf", "-"};
  // The archive's "./" entry carries the mode and owner of the directory it
  // was packed from. A directory this run created takes them, but one that
  // was already there is the user's: applied to it, "./" would drop the
  // sticky bit of a 1777 directory (/tmp, when root extracts there) or give
  // the user's directory to root. GNU tar's --no-overwrite-dir leaves the
  // metadata of existing directories alone from the start; restoring them
  // after tar would leave a window with the wrong mode, and excluding "./"
  // would also skip it where the directory is new.
  if (!target.dir_is_new) tar.push_back("--no-overwrite-dir");

  PipelineStatus status = pipe_through_gunzip(data, length, tar, copy_step);
  copy.complete();
  ::unlinkat(target.dir_fd, name, 0);
  bool failed =
      !reader_stopped_early(status.decompressor) && report_child_failure("gunzip", status.decompressor);
  failed = report_child_failure("tar", status.consumer) || failed;
  if (failed) std::exit(1);
}

void verify_package_members(const PackageContents& contents) {
  require_members(contents);
  const struct {
    const char* data;
    std::uint32_t length;
  } members[] = {
      {contents.license_data, contents.trailer.license_length()},
      {contents.archive_data, contents.trailer.archive_length()},
  };
  for (const auto& member : members) {
    if (report_child_failure("gunzip", test_member(member.data, member.length))) std::exit(1);
  }
  require_tar();
}

PipelineStatus pipe_through_gunzip(const char* data, std::size_t length,
                                   const std::vector<std::string>& consumer, const BackgroundWork& background,
                                   PipelineOutput output) {
  UniqueFd input_read, input_write, output_read, output_write;
  UniqueFd null(output == PipelineOutput::kNothing ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1);
  make_pipe(output_read, output_write);
  make_pipe(input_read, input_write);

  pid_t decompressor_pid, consumer_pid;
  ExitCleanup cleanup;  // an exit before both are reaped takes them along
  {
    // The children start with SIGPIPE at its default, whatever we inherited:
    // a decompressor whose reader has gone must simply end.
    ScopedSignalDisposition default_sigpipe(SIGPIPE, SIG_DFL);

    ChildSpec decompressor;
    decompressor.argv = {"gunzip", "-dc", "-"};
    decompressor.stdin_fd = input_read.get();
    decompressor.stdout_fd = output_write.get();
    decompressor.exec_call = "execv";
    decompressor.stderr_to_null = output != PipelineOutput::kAll;
    decompressor_pid = start_child(decompressor);
    cleanup.stop_child(decompressor_pid);
    output_write.reset();
    input_read.reset();

    ChildSpec reader;
    reader.argv = consumer;
    reader.stdin_fd = output_read.get();
    reader.stdout_fd = null.get();
    reader.stderr_to_null = output != PipelineOutput::kAll;
    consumer_pid = start_child(reader);
    cleanup.stop_child(consumer_pid);
    output_read.reset();
  }

  bool fed = feed_pipe(input_write.get(), data, length, background);
  input_write.reset();  // the decompressor sees the end of its input
  while (background && background()) {
  }

  PipelineStatus status;
  status.decompressor = wait_or_exit(decompressor_pid);
  cleanup.child_reaped(decompressor_pid);
  status.consumer = wait_or_exit(consumer_pid);
  cleanup.child_reaped(consumer_pid);
  if (!fed) std::exit(1);
  return status;
}

}  // namespace plim
