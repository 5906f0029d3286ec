#pragma once

// The profile library looks for profile files in $HOME/.Plim/ and in
// $PLIM_CONFIG_DIR. A fuzzer must not read the machine's real profiles (that
// would make runs depend on the machine), so both point into one fresh,
// empty directory, made once before the first input and removed at exit.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

inline void use_empty_search_directories() {
  static std::string directory = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base == '/' ? base : "/tmp") + "/plim-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    return pattern;
  }();
  setenv("HOME", directory.c_str(), 1);
  setenv("PLIM_CONFIG_DIR", (directory + "/").c_str(), 1);
  // Nothing is ever written there, so the directory is empty at exit.
  std::atexit([] { rmdir(directory.c_str()); });
}
