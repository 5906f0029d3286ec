#include "core/access_acl.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/xattr.h>

#include <cstdint>
#include <cstring>

#include "core/unique_fd.h"

namespace plim {

namespace {

constexpr char kAccessAclName[] = "system.posix_acl_access";
constexpr std::uint32_t kAclVersion = 2;
constexpr std::size_t kHeaderSize = 4, kEntrySize = 8;
constexpr std::size_t kLargestAttribute = 65536;  // the kernel's limit for one attribute's value
constexpr std::uint16_t kNamedUser = 0x02, kNamedGroup = 0x08, kMask = 0x10;
constexpr std::uint16_t kKnownTags = 0x01 | kNamedUser | 0x04 | kNamedGroup | kMask | 0x20;
constexpr std::uint16_t kWrite = 2;

std::uint32_t little_endian(std::string_view bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// fgetxattr into a buffer that grows once to the largest value there can be.
ssize_t get_attribute(int fd, const char* proc_path, std::string& value) {
  for (std::size_t size : {std::size_t{1024}, kLargestAttribute}) {
    value.resize(size);
    ssize_t length = proc_path ? ::getxattr(proc_path, kAccessAclName, value.data(), size)
                               : ::fgetxattr(fd, kAccessAclName, value.data(), size);
    if (length >= 0 || errno != ERANGE) return length;
  }
  return -1;
}

}  // namespace

std::optional<AclWriters> parse_access_acl(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || (bytes.size() - kHeaderSize) % kEntrySize != 0 ||
      little_endian(bytes, 0, 4) != kAclVersion)
    return std::nullopt;
  AclWriters named;
  std::uint16_t mask = 7;  // without a mask entry (then there are no named entries) nothing is masked
  for (std::size_t at = kHeaderSize; at < bytes.size(); at += kEntrySize) {
    auto tag = static_cast<std::uint16_t>(little_endian(bytes, at, 2));
    auto permissions = static_cast<std::uint16_t>(little_endian(bytes, at + 2, 2));
    std::uint32_t id = little_endian(bytes, at + 4, 4);
    if ((tag & kKnownTags) != tag || __builtin_popcount(tag) != 1) return std::nullopt;
    if (tag == kMask) mask = permissions;
    if (!(permissions & kWrite)) continue;
    if (tag == kNamedUser) named.users.push_back(id);
    if (tag == kNamedGroup) named.groups.push_back(id);
  }
  // The mask bounds what every named entry grants, wherever it stands.
  if (!(mask & kWrite)) named = {};
  return named;
}

AccessAcl read_access_acl(int dir) {
  AccessAcl acl;
  std::string value;
  UniqueFd readable(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ssize_t length;
  if (readable) {
    length = get_attribute(readable.get(), nullptr, value);
  } else if (errno == EACCES) {
    // The identity the walk has taken on may search the directory without
    // reading it. Reading an access ACL needs no permission, so the
    // descriptor held is named through /proc instead of opened anew.
    std::string proc_path = "/proc/self/fd/" + std::to_string(dir);
    length = get_attribute(-1, proc_path.c_str(), value);
  } else {
    length = -1;
  }
  if (length < 0) {
    if (errno != ENODATA && errno != ENOTSUP)  // ENOTSUP (EOPNOTSUPP): a file system without ACLs
      acl.failure = std::string("its access control list cannot be read: ") + std::strerror(errno);
    return acl;
  }
  value.resize(length);
  if (std::optional<AclWriters> writers = parse_access_acl(value))
    acl.writers = std::move(*writers);
  else
    acl.failure = "its access control list is not understood";
  return acl;
}

}  // namespace plim
