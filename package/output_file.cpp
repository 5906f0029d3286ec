#include "package/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "core/retry.h"
#include "core/system_error.h"

namespace plim {

namespace {

std::string backup_name(const std::string& name) { return name + "~"; }

// Errors after which writing the same bytes another way would fail as well.
bool is_write_failure(int error) {
  return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG;
}

}  // namespace

void remove_backup_of(const std::string& name) {
  std::string backup = backup_name(name);
  ::unlink(backup.c_str());
  ::rmdir(backup.c_str());
}

void OutputFile::fail(const char* call) {
  int saved = errno;
  fd_.reset();
  errno = saved;
  report_system_error(call);
  if (moved_aside_)
    ::rename(backup_name(name_).c_str(), name_.c_str());
  else
    ::unlink(name_.c_str());  // no half-made file stays under the name
  std::exit(1);
}

void OutputFile::append(const char* data, std::size_t length, int source_fd, off_t source_offset) {
  std::size_t done = 0;
  while (source_fd >= 0 && done < length) {
    off_t in = source_offset + off_t(done);
    off_t out = written_ + off_t(done);
    ssize_t copied =
        retry_on_eintr([&] { return ::copy_file_range(source_fd, &in, fd_.get(), &out, length - done, 0); });
    if (copied <= 0) {
      if (copied < 0 && is_write_failure(errno)) fail("write");
      break;  // the kernel cannot copy between these two (or the source is short): write the rest
    }
    done += std::size_t(copied);
  }
  while (done < length) {
    ssize_t written = retry_on_eintr(
        [&] { return ::pwrite(fd_.get(), data + done, length - done, written_ + off_t(done)); });
    if (written == 0) errno = ENOSPC;  // never spin on a file that takes nothing
    if (written <= 0) fail("write");
    done += std::size_t(written);
  }
  written_ += off_t(length);
}

void OutputFile::complete() {
  fd_.reset();
  if (moved_aside_) remove_backup_of(name_);
}

OutputFile create_output_file(const std::string& name, std::uint32_t length, mode_t mode,
                              ExistingFile existing) {
  bool moved_aside = false;
  if (existing == ExistingFile::kMoveAside) {
    remove_backup_of(name);
    moved_aside = ::rename(name.c_str(), backup_name(name).c_str()) == 0;
  }
  UniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd) {
    report_system_error("creat");
    if (moved_aside) ::rename(backup_name(name).c_str(), name.c_str());
    std::exit(1);
  }
  OutputFile file(std::move(fd), name, moved_aside);
  // Reserving the blocks replaces writing the whole length once before the
  // contents: a full disk still shows here, as a failed "write", before
  // anything is copied, and the bytes go to the disk only once.
  if (length > 0) {
    int error = ::posix_fallocate(file.fd(), 0, off_t(length));
    if (error != 0) {
      errno = error;
      file.fail("write");
    }
  }
  return file;
}

}  // namespace plim
