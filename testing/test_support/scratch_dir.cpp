#include "testing/test_support/scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

ScratchDir::ScratchDir() {
  char name[] = "/tmp/plim-test-XXXXXX";
  path_ = ::mkdtemp(name);
}

ScratchDir::~ScratchDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }

void ScratchDir::use_quiet_clear() const {
  std::string bin = path_ + "/.bin";
  ::mkdir(bin.c_str(), 0755);
  write_file(bin + "/clear", "#!/bin/sh\nexit 0\n");
  ::chmod((bin + "/clear").c_str(), 0755);
  ::setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}
