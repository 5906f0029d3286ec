#include "package/self_inspection.h"

#include <fcntl.h>

#include <cstring>

#include "core/run_log.h"
#include "core/system_error.h"
#include "package/mapped_file.h"

namespace plim {

namespace {

constexpr std::uint32_t kTrailerSize = sizeof(PackageTrailer);

int own_fd = -1;
const char* own_start = nullptr;
std::uint32_t own_size = 0;

// Whether the two NUL-terminated names that start at `names_start` end
// exactly where the trailer starts. Nothing at or after `trailer_start` is
// read.
bool names_end_at_trailer(const char* data, std::uint64_t names_start, std::uint64_t trailer_start) {
  std::uint64_t at = names_start;
  for (int name = 0; name < 2; ++name) {
    const void* nul = std::memchr(data + at, '\0', trailer_start - at);
    if (!nul) return false;
    at = std::uint64_t(static_cast<const char*>(nul) - data) + 1;
  }
  return at == trailer_start;
}

// The trailer is read from the file, so every length is outside input: the
// sums are formed in 64 bits, where three 32-bit lengths and 28 cannot wrap.
bool trailer_is_valid(const char* data, std::uint32_t size, const PackageTrailer& trailer) {
  if (std::memcmp(trailer.magic, kTrailerMagic, sizeof kTrailerMagic) != 0) return false;
  std::uint64_t names_start =
      std::uint64_t(trailer.exe_length()) + trailer.license_length() + trailer.archive_length();
  std::uint64_t trailer_start = size - kTrailerSize;
  if (names_start + kTrailerSize > size) return false;
  return names_end_at_trailer(data, names_start, trailer_start);
}

}  // namespace

int read_package_contents(const char* data, std::uint32_t size, PackageContents& contents) {
  contents = PackageContents{};
  if (size >= kTrailerSize) {
    std::memcpy(&contents.trailer, data + size - kTrailerSize, kTrailerSize);
    if (trailer_is_valid(data, size, contents.trailer)) {
      std::memcpy(&contents.exe_signature, data, sizeof contents.exe_signature);
      contents.image = data;
      contents.license_data = contents.image + contents.trailer.exe_length();
      contents.archive_data = contents.license_data + contents.trailer.license_length();
      contents.license_name = contents.archive_data + contents.trailer.archive_length();
      contents.archive_name = contents.license_name + std::strlen(contents.license_name) + 1;
      return 0;
    }
  }
  // A bare executable: the whole file is the image, with no payload and
  // version 0.0.0.0, and a signature that matches no other executable.
  contents = PackageContents{};
  contents.trailer.set_exe_length(size);
  std::memcpy(contents.trailer.magic, kTrailerMagic, sizeof kTrailerMagic);
  contents.image = data;
  return -1;
}

int own_file_descriptor() { return own_fd; }

off_t own_file_offset(const char* data, std::size_t length) {
  if (!own_start || data < own_start || data > own_start + own_size) return -1;
  std::size_t offset = std::size_t(data - own_start);
  return length <= own_size - offset ? off_t(offset) : -1;
}

int inspect_own_package(const char* path, PackageContents& contents) {
  own_fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (own_fd < 0) own_fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (own_fd < 0) exit_on_system_error("open");
  MappedFile own = map_descriptor(own_fd);
  log_line("Find:\tSelf info");
  own_size = own.length();
  // The payload is used in place for the whole run, so the mapping is kept.
  own_start = own.release();
  return read_package_contents(own_start, own_size, contents);
}

}  // namespace plim
