#pragma once

#include <string>

// A temporary directory under /tmp for one test, removed with everything in
// it when the test ends, even after a failed assertion.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Puts a silent "clear" that succeeds first on PATH, so that banners in the
  // code under test print only the box.
  void use_quiet_clear() const;

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& contents);
