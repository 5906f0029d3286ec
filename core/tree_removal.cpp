#include "core/tree_removal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/dir_handle.h"

namespace plim {

namespace {

// The names in the directory open as `fd`, read in full before any goes
// (removing while reading could skip entries).
std::vector<std::string> names_in(int fd) {
  std::vector<std::string> names;
  UniqueDir listing(::fdopendir(fd));
  if (!listing) {
    ::close(fd);
    return names;
  }
  while (const struct dirent* entry = ::readdir(listing.get())) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
      names.emplace_back(entry->d_name);
  }
  return names;
}

}  // namespace

bool remove_tree_at(int dir, const char* name) {
  if (::unlinkat(dir, name, 0) == 0 || errno == ENOENT) return true;
  int sub = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (sub < 0) return false;
  int held = ::fcntl(sub, F_DUPFD_CLOEXEC, 0);  // the listing closes `sub`
  for (const std::string& entry : names_in(sub)) remove_tree_at(held, entry.c_str());
  if (held >= 0) ::close(held);
  return ::unlinkat(dir, name, AT_REMOVEDIR) == 0;
}

}  // namespace plim
