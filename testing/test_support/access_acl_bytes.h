#pragma once

// Access ACLs for tests, without the acl tools: the bytes the kernel keeps in
// "system.posix_acl_access", built from entries written as getfacl prints
// them ("user::rwx", "user:1501:rwx", "group:1503:r-x", "mask::rwx",
// "other::r-x"), with numeric ids. The kernel rejects entries out of its
// order (owner, named users, group, named groups, mask, other) with EINVAL.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline std::optional<std::string> access_acl_bytes(std::string_view entries) {
  auto put = [](std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
  };
  std::string out;
  put(out, 2, 4);  // the format's version
  while (!entries.empty()) {
    std::string_view entry = entries.substr(0, entries.find(','));
    entries.remove_prefix(std::min(entries.size(), entry.size() + 1));
    std::size_t first = entry.find(':'), second = entry.rfind(':');
    if (first == std::string_view::npos || first == second || entry.size() - second != 4) return std::nullopt;
    std::string_view kind = entry.substr(0, first), id = entry.substr(first + 1, second - first - 1);
    std::string_view perms = entry.substr(second + 1);
    std::uint32_t tag = kind == "user"    ? 0x01
                        : kind == "group" ? 0x04
                        : kind == "mask"  ? 0x10
                        : kind == "other" ? 0x20
                                          : 0;
    if (tag == 0) return std::nullopt;
    if (!id.empty() && (tag == 0x01 || tag == 0x04)) tag <<= 1;  // named user (0x02), named group (0x08)
    std::uint32_t perm = (perms[0] == 'r' ? 4 : 0) | (perms[1] == 'w' ? 2 : 0) | (perms[2] == 'x' ? 1 : 0);
    put(out, tag, 2);
    put(out, perm, 2);
    put(out, id.empty() ? 0xffffffffu : static_cast<std::uint32_t>(std::stoul(std::string(id))), 4);
  }
  return out;
}
