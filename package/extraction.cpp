#include "package/extraction.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/child_process.h"
#include "core/console.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/unique_fd.h"
#include "package/output_map.h"
#include "core/package_contents.h"

namespace {

constexpr mode_t kUninstallerMode = 0755;
constexpr mode_t kMemberMode = 0644;
constexpr int kPipeSize = 1 << 20;

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
void require_members() {
  if (package_contents.license_name && package_contents.archive_name) return;
  log_puts("Error:\tThis program carries no package to unpack\n", stderr);
  std::exit(1);
}

const char* target_directory() {
  if (settings.extract_dir) return settings.extract_dir->c_str();
  if (settings.install_dir) return settings.install_dir->c_str();
  return ".";
}

void enter_target_directory() {
  log_printf(nullptr, "chdir:\t%s\n", target_directory());
  const std::optional<std::string>& dir = settings.extract_dir ? settings.extract_dir : settings.install_dir;
  if (dir && enter_or_create_dir(dir->c_str(), kNewDirMode) < 0) std::exit(1);
}

// Creates `name` in the target directory with the bytes straight from the
// package mapping.
void write_member(const char* name, const char* data, std::uint32_t length, mode_t mode) {
  enter_target_directory();
  log_printf(stdout, "Create:\t%s/%s\n", target_directory(), name);
  OutputMap file = create_output_map(name, length, mode);
  std::memcpy(file.address(), data, length);
  close_output_map(file);
}

int wait_or_exit(pid_t pid) {
  int status = wait_for_child(pid);
  if (status == -1) exit_on_system_error("wait");
  return status;
}

// Writes all of `data` into the pipe `fd`. A reader that has gone away ends
// the input: EPIPE (SIGPIPE being ignored meanwhile) is no failure. Returns
// false after reporting any other write error.
bool feed_pipe(int fd, const char* data, std::size_t length) {
  ScopedSignalDisposition ignore_sigpipe(SIGPIPE, SIG_IGN);
  while (length > 0) {
    ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) return true;
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
  bool fed = feed_pipe(input_write.get(), data, length);
  input_write.reset();
  int status = wait_or_exit(pid);
  if (!fed) std::exit(1);
  return status;
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

void write_uninstaller() {
  write_member("uninstall", package_contents.image, package_contents.trailer.exe_length(), kUninstallerMode);
}

void write_license_file() {
  require_members();
  write_member(package_contents.license_name, package_contents.license_data,
               package_contents.trailer.license_length(), kMemberMode);
}

void write_archive_file() {
  require_members();
  write_member(package_contents.archive_name, package_contents.archive_data,
               package_contents.trailer.archive_length(), kMemberMode);
}

void unpack_license() {
  write_license_file();
  ChildSpec gunzip;
  gunzip.argv = {"gunzip", "-f", package_contents.license_name};
  gunzip.exec_failure_format = nullptr;
  log_printf(stdout, "Execute:\t%s %s %s\n", gunzip.argv[0].c_str(), gunzip.argv[1].c_str(),
             gunzip.argv[2].c_str());
  std::fflush(stdout);
  if (report_child_failure("gunzip", wait_or_exit(start_child(gunzip)))) std::exit(1);
}

void show_license() {
  log_puts("View:\tLicense\n", nullptr);
  if (settings.install_dir && enter_or_create_dir(settings.install_dir->c_str(), kNewDirMode) < 0) std::exit(1);
  write_license_file();
  PipelineStatus status = pipe_through_gunzip(package_contents.license_data,
                                              package_contents.trailer.license_length(), {"less", "-eM"});
  ::unlink(package_contents.license_name);
  // The pager's own status is its business (the person may quit at once);
  // a licence that cannot be decompressed was not shown.
  if (!reader_stopped_early(status.decompressor) && report_child_failure("gunzip", status.decompressor))
    std::exit(1);
}

void unpack_archive() {
  write_archive_file();
  PipelineStatus status = pipe_through_gunzip(package_contents.archive_data,
                                              package_contents.trailer.archive_length(), {"tar", "xvvf", "-"});
  ::unlink(package_contents.archive_name);
  bool failed = !reader_stopped_early(status.decompressor) && report_child_failure("gunzip", status.decompressor);
  failed = report_child_failure("tar", status.consumer) || failed;
  if (failed) std::exit(1);
}

void verify_package_members() {
  require_members();
  const struct {
    const char* data;
    std::uint32_t length;
  } members[] = {
      {package_contents.license_data, package_contents.trailer.license_length()},
      {package_contents.archive_data, package_contents.trailer.archive_length()},
  };
  for (const auto& member : members) {
    if (report_child_failure("gunzip", test_member(member.data, member.length))) std::exit(1);
  }
}

PipelineStatus pipe_through_gunzip(const char* data, std::size_t length,
                                   const std::vector<std::string>& consumer) {
  UniqueFd input_read, input_write, output_read, output_write;
  make_pipe(output_read, output_write);
  make_pipe(input_read, input_write);

  pid_t decompressor_pid, consumer_pid;
  {
    // The children start with SIGPIPE at its default, whatever we inherited:
    // a decompressor whose reader has gone must simply end.
    ScopedSignalDisposition default_sigpipe(SIGPIPE, SIG_DFL);

    ChildSpec decompressor;
    decompressor.argv = {"gunzip", "-dc", "-"};
    decompressor.stdin_fd = input_read.get();
    decompressor.stdout_fd = output_write.get();
    decompressor.exec_call = "execv";
    decompressor_pid = start_child(decompressor);
    output_write.reset();
    input_read.reset();

    ChildSpec reader;
    reader.argv = consumer;
    reader.stdin_fd = output_read.get();
    consumer_pid = start_child(reader);
    output_read.reset();
  }

  bool fed = feed_pipe(input_write.get(), data, length);
  input_write.reset();  // the decompressor sees the end of its input

  PipelineStatus status;
  status.decompressor = wait_or_exit(decompressor_pid);
  status.consumer = wait_or_exit(consumer_pid);
  if (!fed) std::exit(1);
  return status;
}
