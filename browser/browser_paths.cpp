#include "browser/browser_paths.h"

#include <unistd.h>

#include "installer/grow_buffer.h"

std::string directory_of(const std::string& path) {
  if (path.size() <= 1) return "./";
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

const char* read_symlink(const char* path) {
  static GrowBuffer target;
  char* text = target.data() ? target.data() : target.reserve(4096);
  for (;;) {
    ssize_t length = ::readlink(path, text, target.capacity());
    if (length <= 0) return nullptr;
    // A target that fills the whole buffer may have been cut short: grow and
    // read again until there is room to spare for the NUL.
    if (static_cast<std::size_t>(length) < target.capacity()) {
      text[length] = '\0';
      return text;
    }
    text = target.reserve(target.capacity() + 4096);
  }
}
