// Gives a file an access ACL without the acl tools, for the cases that stage
// a user's write access beyond the mode bits:
//
//   set_access_acl PATH ENTRY...    ENTRY as getfacl prints it, numeric ids
//                                   ("user:1501:rwx"); see access_acl_bytes.h
//
// Status 0, or 1 with the reason on standard error.

#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "testing/test_support/access_acl_bytes.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: set_access_acl PATH ENTRY...\n");
    return 1;
  }
  std::string entries;
  for (int i = 2; i < argc; ++i) entries += (i > 2 ? "," : "") + std::string(argv[i]);
  std::optional<std::string> bytes = access_acl_bytes(entries);
  if (!bytes) {
    std::fprintf(stderr, "set_access_acl: malformed entries: %s\n", entries.c_str());
    return 1;
  }
  if (::setxattr(argv[1], "system.posix_acl_access", bytes->data(), bytes->size(), 0) != 0) {
    std::fprintf(stderr, "set_access_acl: %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  return 0;
}
