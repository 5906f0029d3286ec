// Feeds arbitrary bytes to the package trailer check as if they were the
// program's own file, and checks what read_package_contents gives against a
// plain reading of the package layout.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "package/self_inspection.h"

using namespace plim;

namespace {

constexpr std::uint64_t kTrailerSize = 28;

// Where the two names lie in a valid package: an independent, byte-by-byte
// reading of the layout (lengths little-endian at 16, 20 and 24 of the
// trailer; names NUL-terminated, the second NUL just before the trailer).
struct Layout {
  std::uint64_t license_at, archive_at, license_name_at, archive_name_at;
};

std::uint64_t le32(const std::uint8_t* p) {
  return p[0] | std::uint64_t(p[1]) << 8 | std::uint64_t(p[2]) << 16 | std::uint64_t(p[3]) << 24;
}

std::optional<Layout> expected_layout(const std::uint8_t* data, std::uint64_t size) {
  if (size < kTrailerSize) return std::nullopt;
  const std::uint8_t* trailer = data + size - kTrailerSize;
  if (std::memcmp(trailer, "EOFwytEOF", 10) != 0) return std::nullopt;
  std::uint64_t e = le32(trailer + 16), l = le32(trailer + 20), a = le32(trailer + 24);
  std::uint64_t names = e + l + a, trailer_at = size - kTrailerSize;
  if (names > trailer_at) return std::nullopt;
  std::uint64_t at = names;
  while (at < trailer_at && data[at] != 0) ++at;
  if (at == trailer_at) return std::nullopt;
  std::uint64_t second = at + 1;
  at = second;
  while (at < trailer_at && data[at] != 0) ++at;
  if (at + 1 != trailer_at) return std::nullopt;
  return Layout{e, e + l, names, second};
}

void check(bool condition) {
  if (!condition) std::abort();
}

bool all_zero(const void* bytes, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

void check_package(const char* data, std::uint64_t size, const PackageContents& c, const Layout& layout) {
  const char* trailer_start = data + size - kTrailerSize;
  check(std::memcmp(&c.trailer, trailer_start, kTrailerSize) == 0);
  check(std::memcmp(&c.exe_signature, data, 4) == 0);
  check(c.image == data);
  check(c.license_data == data + layout.license_at);
  check(c.archive_data == data + layout.archive_at);
  check(c.license_name == data + layout.license_name_at);
  check(c.archive_name == data + layout.archive_name_at);
  // Both names lie inside the file and end before the trailer, so a reader
  // that stops at their NUL never reaches the trailer or beyond.
  for (const char* name : {c.license_name, c.archive_name}) {
    check(name >= data && name < trailer_start);
    check(std::memchr(name, '\0', trailer_start - name) != nullptr);
  }
  check(c.archive_name + std::strlen(c.archive_name) + 1 == trailer_start);
}

void check_bare_executable(const char* data, std::uint64_t size, const PackageContents& c) {
  check(std::memcmp(c.trailer.magic, "EOFwytEOF", 10) == 0);
  check(c.trailer.exe_length() == size);
  check(c.trailer.license_length() == 0 && c.trailer.archive_length() == 0);
  check(c.trailer.major == 0 && c.trailer.minor == 0 && c.trailer.patch == 0 && c.trailer.delta == 0 &&
        all_zero(c.trailer.reserved, sizeof c.trailer.reserved));
  check(c.exe_signature == 0);
  check(c.image == data);
  check(!c.license_data && !c.archive_data && !c.license_name && !c.archive_name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > UINT32_MAX) return 0;
  const char* data = reinterpret_cast<const char*>(bytes);
  // Start from garbage, so that a field the check forgets to set shows.
  PackageContents contents;
  std::memset(&contents, 0xA5, sizeof contents);
  int result = read_package_contents(data, static_cast<std::uint32_t>(size), contents);
  std::optional<Layout> layout = expected_layout(bytes, size);
  if (layout) {
    check(result == 0);
    check_package(data, size, contents, *layout);
  } else {
    check(result == -1);
    check_bare_executable(data, size, contents);
  }
  return 0;
}
