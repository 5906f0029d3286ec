#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

// A temporary directory under $TMPDIR (else /tmp) for one test, removed with
// everything in it when the test ends, even after a failed assertion.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
// Creates missing parent directories; extends the file (sparsely) to `size`
// bytes when that is larger than the contents.
void write_file(const std::string& path, std::string_view contents, off_t size = 0, mode_t mode = 0644);
