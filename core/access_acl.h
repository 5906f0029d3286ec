#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plim {

// The mode bits do not tell everyone who may write a directory: its access
// ACL may name further users and groups with write access (a directory of
// root's with "user:bob:rwx" shows only as group-writable by group root).
// The trusted-path walk counts those writers like the owner and the group.
// Default ACLs only pass on to new files and give no access themselves.

struct AclWriters {
  std::vector<uid_t> users;   // named users that may write, by the entry and the mask together
  std::vector<gid_t> groups;  // named groups that may write, likewise
};

// The kernel's "system.posix_acl_access" value: a 32-bit version (2), then
// 8-byte entries of a 16-bit tag, 16-bit permissions and a 32-bit id, all
// little-endian. None when the bytes are not such a value.
std::optional<AclWriters> parse_access_acl(std::string_view bytes);

struct AccessAcl {
  AclWriters writers;   // empty when the file has no access ACL or its file system keeps none
  std::string failure;  // non-empty: the ACL could not be read or understood, and why
};

// The access ACL of the directory `dir` (an O_PATH descriptor, which cannot
// read attributes itself), read with the caller's file-system identity.
AccessAcl read_access_acl(int dir);

}  // namespace plim
