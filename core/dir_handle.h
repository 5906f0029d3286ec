#pragma once

#include <dirent.h>

#include <memory>

namespace plim {

// Owns an open directory listing: closed when the owner goes.
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

}  // namespace plim
