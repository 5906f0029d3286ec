#pragma once

// Temporary browser homes and executables for the browser unit tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "browser/browser_discovery.h"
#include "core/browser_list.h"
#include "core/package_contents.h"
#include "testing/test_support/scratch_dir.h"

namespace plim {

// The bytes that make a file a browser executable to the scan.
inline std::string browser_image(char libc = '6') {
  return std::string(
             "\x7f"
             "ELF...libc.so.") +
         libc + "...MOZILLA_HOME=...";
}

// Each test starts with an empty browser list, list_; own_ carries the
// signature a real package has (the ELF magic).
class BrowserFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memcpy(&own_.exe_signature,
                "\x7f"
                "ELF",
                4);
  }

  std::string path(const std::string& name) const { return temp_ / name; }

  // A directory below the temporary one holding the named (empty) files and
  // directories; a name ending in '/' is made a directory.
  std::string make_dir(const std::string& name, std::initializer_list<const char*> contents) {
    std::string dir = path(name);
    std::filesystem::create_directories(dir);
    for (std::string item : contents) {
      if (item.back() == '/')
        std::filesystem::create_directories(dir + "/" + item);
      else
        write_file(dir + "/" + item, "");
    }
    return dir;
  }

  // A browser home that passes the directory test.
  std::string make_home(const std::string& name) { return make_dir(name, {"plugins/", "java/", "vreg"}); }

  // A browser executable in `dir`, large enough to be a candidate.
  std::string make_browser(const std::string& dir, const std::string& name, char libc = '6',
                           off_t size = kSmallestBrowserSize) {
    write_file(dir + "/" + name, browser_image(libc), size, 0755);
    return dir + "/" + name;
  }

 protected:
  PackageContents own_{};
  BrowserList list_;

 private:
  ScratchDir temp_;
};

}  // namespace plim
