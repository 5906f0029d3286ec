#pragma once

#include <cstdint>

namespace plim {

// The last 28 bytes of a package file. The three lengths are unsigned 32-bit
// little-endian on disk; use the accessors rather than the raw bytes.
struct PackageTrailer {
  char magic[10];  // "EOFwytEOF" and a NUL
  std::uint8_t major;
  std::uint8_t minor;
  std::uint8_t patch;  // 0 marks a beta release
  std::uint8_t delta;  // delta number of a release, beta number of a beta
  std::uint8_t reserved[2];
  std::uint8_t exe_length_le[4];
  std::uint8_t license_length_le[4];
  std::uint8_t archive_length_le[4];

  std::uint32_t exe_length() const { return load_le(exe_length_le); }
  std::uint32_t license_length() const { return load_le(license_length_le); }
  std::uint32_t archive_length() const { return load_le(archive_length_le); }
  void set_exe_length(std::uint32_t n) { store_le(exe_length_le, n); }
  void set_license_length(std::uint32_t n) { store_le(license_length_le, n); }
  void set_archive_length(std::uint32_t n) { store_le(archive_length_le, n); }

  static std::uint32_t load_le(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
  }
  static void store_le(std::uint8_t* p, std::uint32_t n) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(n >> (8 * i));
  }
};
static_assert(sizeof(PackageTrailer) == 28, "the trailer is 28 bytes on disk");

inline constexpr char kTrailerMagic[10] = "EOFwytEOF";

// What the running program knows of its own file, filled once by
// inspect_own_package and passed to what needs it. All pointers point into the
// mapping of the own file, which lives for the whole run.
struct PackageContents {
  PackageTrailer trailer;
  std::uint32_t exe_signature;  // first four bytes of the own file; 0 for a bare executable
  const char* image;
  const char* license_data;
  const char* archive_data;
  const char* license_name;
  const char* archive_name;
};

}  // namespace plim
