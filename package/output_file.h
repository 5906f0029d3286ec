#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "core/unique_fd.h"

namespace plim {

// How a new output file treats a file already under its name.
enum class ExistingFile {
  // The previous file waits under "<name>~" (an old backup of any kind is
  // cleared first) and is put back if the new file cannot be completed.
  kMoveAside,
  // Nothing under the name or its "~" is touched: creation fails with
  // "creat: File exists". For the temporary copies that extraction removes
  // again, which must never remove a file the run did not make.
  kRefuse,
};

// A newly created file of fixed length, its blocks reserved on the disk
// before any byte goes in, so that a full disk shows at creation and not half
// way through. The caller fills it in order with append() and then calls
// complete(); failures report the call, give the name back to the previous
// file (or remove the incomplete new one) and end the process with status 1.
class OutputFile {
 public:
  OutputFile(UniqueFd fd, std::string name, bool moved_aside)
      : fd_(std::move(fd)), name_(std::move(name)), moved_aside_(moved_aside) {}
  OutputFile(OutputFile&& other) noexcept = default;
  OutputFile& operator=(OutputFile&&) = delete;
  // Going, it closes the descriptor; an incomplete file stays as it is.

  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }

  // Writes `length` bytes after those already written: from `source_fd` at
  // `source_offset` inside the kernel when a descriptor is given (a copy the
  // file system may even share), else, or where the kernel cannot, from `data`.
  void append(const char* data, std::size_t length, int source_fd = -1, off_t source_offset = 0);

  // The file is complete: the descriptor is closed and the backup removed.
  void complete();

  // Reports `call`, restores the previous file and exits with status 1.
  [[noreturn]] void fail(const char* call);

 private:
  UniqueFd fd_;
  std::string name_;
  bool moved_aside_;
  off_t written_ = 0;
};

// Creates `name` (read-write, exclusive, permission bits `mode` less the
// file-creation mask) and reserves `length` bytes for it. Failures are
// reported as "creat" or "write".
OutputFile create_output_file(const std::string& name, std::uint32_t length, mode_t mode,
                              ExistingFile existing = ExistingFile::kMoveAside);

// Removes an old backup "<name>~" of any kind: a file, a symbolic link or an
// empty directory (results ignored).
void remove_backup_of(const std::string& name);

}  // namespace plim
