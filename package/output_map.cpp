#include "package/output_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/system_error.h"
#include "core/unique_fd.h"

namespace {

constexpr std::uint32_t kExtendBlock = 16384;
constexpr std::uint32_t kTouchStride = 512;

// Clears an old backup of any kind: a file, a symbolic link or an empty
// directory. Whatever cannot be removed stays, and the rename that follows
// then leaves the current file where it is.
void remove_backup(const std::string& backup) {
  ::unlink(backup.c_str());
  ::rmdir(backup.c_str());
}

// Where the previous file of the name is, while the new one is being made.
struct PreviousFile {
  std::string name;
  std::string backup;
  bool moved_aside = false;

  // Puts the previous file back under its name (replacing the incomplete new
  // one), or, when there was none, removes the incomplete file we created so
  // that no half-made file is left under the name.
  void restore(bool created_new) const {
    if (moved_aside)
      ::rename(backup.c_str(), name.c_str());
    else if (created_new)
      ::unlink(name.c_str());
  }

  [[noreturn]] void fail(const char* call, bool created_new) const {
    report_system_error(call);
    restore(created_new);
    std::exit(1);
  }
};

// Gives the new file its length by writing zero blocks; interrupted and short
// writes go on with what is left. Returns false (errno set) on a write error.
bool extend_with_zeros(int fd, std::uint32_t length) {
  static const char zeros[kExtendBlock] = {};
  std::uint32_t left = length;
  while (left > 0) {
    ssize_t written = ::write(fd, zeros, std::min(left, kExtendBlock));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      // A regular file that accepts nothing is full; never spin on it.
      errno = ENOSPC;
      return false;
    }
    left -= std::uint32_t(written);
  }
  return true;
}

}  // namespace

OutputMap::OutputMap(OutputMap&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      name_(std::move(other.name_)) {}

OutputMap& OutputMap::operator=(OutputMap&& other) noexcept {
  if (this != &other) {
    close_output_map(*this);
    address_ = std::exchange(other.address_, nullptr);
    length_ = std::exchange(other.length_, 0);
    name_ = std::move(other.name_);
  }
  return *this;
}

OutputMap::~OutputMap() { close_output_map(*this); }

char* OutputMap::release() {
  length_ = 0;
  name_.clear();
  return std::exchange(address_, nullptr);
}

OutputMap create_output_map(const std::string& name, std::uint32_t length, mode_t mode) {
  PreviousFile previous{name, name + "~"};
  remove_backup(previous.backup);
  previous.moved_aside = ::rename(name.c_str(), previous.backup.c_str()) == 0;

  UniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd) previous.fail("creat", false);

  if (!extend_with_zeros(fd.get(), length)) {
    int saved = errno;
    fd.reset();
    errno = saved;
    previous.fail("write", true);
  }

  // A length of zero fails here with EINVAL, like any file that cannot be mapped.
  void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (address == MAP_FAILED) previous.fail("mmap", true);
  fd.reset();

  // Touch every page before the caller copies into it.
  char* bytes = static_cast<char*>(address);
  for (std::uint64_t offset = 0; offset < length; offset += kTouchStride) bytes[offset] = 0;

  remove_backup(previous.backup);
  return OutputMap(bytes, length, name);
}

void close_output_map(OutputMap& map) {
  if (!map) return;
  std::uint32_t length = map.length();
  ::munmap(map.release(), length);
}
