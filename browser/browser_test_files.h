#pragma once

// Temporary browser homes and executables for the browser unit tests. Header
// only: the product never includes it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "browser/browser_discovery.h"
#include "browser/browser_list.h"
#include "package/package_contents.h"

inline constexpr char kElfMagic[4] = {0x7f, 'E', 'L', 'F'};

inline std::uint32_t elf_signature() {
  std::uint32_t signature;
  std::memcpy(&signature, kElfMagic, sizeof signature);
  return signature;
}

// Writes `contents` to `path` and then extends the file (sparsely) to `size`
// bytes when that is larger, with the given mode.
inline void write_file(const std::string& path, std::string_view contents, off_t size = 0,
                       mode_t mode = 0755) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
  if (size > static_cast<off_t>(contents.size())) {
    ASSERT_EQ(::ftruncate(fd, size), 0);
  }
  ::fchmod(fd, mode);
  ::close(fd);
}

// The bytes that make a file a libc-6 browser executable to the scan.
inline std::string browser_image(char libc = '6') {
  return std::string(kElfMagic, 4) + std::string("...libc.so.") + libc + "...MOZILLA_HOME=...";
}

// A temporary directory, made at construction and removed with its contents
// at destruction, also when an assertion failed.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/plim-browser-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Each test starts with an empty browser list and the signature a real
// package has.
class BrowserFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.path().empty());
    browser_list.clear();
    saved_signature_ = package_contents.exe_signature;
    package_contents.exe_signature = elf_signature();
  }
  void TearDown() override {
    browser_list.clear();
    package_contents.exe_signature = saved_signature_;
  }

  std::string path(const std::string& name) const { return temp_.path() + "/" + name; }

  // A directory below the temporary one holding the named (empty) files and
  // directories; a name ending in '/' is made a directory.
  std::string make_dir(const std::string& name, std::initializer_list<const char*> contents) {
    std::string dir = path(name);
    std::filesystem::create_directories(dir);
    for (std::string item : contents) {
      if (item.back() == '/') {
        std::filesystem::create_directories(dir + "/" + item);
      } else {
        write_file(dir + "/" + item, "", 0, 0644);
      }
    }
    return dir;
  }

  // A browser home that passes the directory test.
  std::string make_home(const std::string& name) { return make_dir(name, {"plugins/", "java/", "vreg"}); }

  // A browser executable in `dir`, large enough to be a candidate.
  std::string make_browser(const std::string& dir, const std::string& name, char libc = '6',
                           off_t size = kSmallestBrowserSize) {
    std::string exe = dir + "/" + name;
    write_file(exe, browser_image(libc), size);
    return exe;
  }

 private:
  ScopedTempDir temp_;
  std::uint32_t saved_signature_ = 0;
};
