// Writes a package file from its parts, so that tests can run real packages
// without the installer's own package mode:
//
//   assemble_package [OPTIONS] OUT IMAGE LICENSE_GZ ARCHIVE_GZ
//
// OUT receives IMAGE, LICENSE_GZ, ARCHIVE_GZ, the two member names each with
// its NUL, and the 28-byte trailer. Options:
//
//   --version=MAJOR.MINOR.PATCH.DELTA   version bytes (default 3.2.5.3)
//   --license-name=NAME                 default "license.txt.gz"
//   --archive-name=NAME                 default "Plim.tar.gz"
//
// and, for tests of bad trailers (the file layout stays as above):
//
//   --magic=TEXT              the first 10 trailer bytes (TEXT, NUL-padded)
//   --exe-length=N            store N instead of the image's length
//   --license-length=N        likewise for the licence member
//   --archive-length=N        likewise for the archive member
//   --no-archive-name-nul     leave out the NUL after the archive name
//   --extra-bytes=N           N bytes 'x' between the names and the trailer
//
// Exit status 0, or 1 with a message on standard error.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_contents.h"

namespace {

struct Options {
  std::uint8_t version[4] = {3, 2, 5, 3};
  std::string license_name = "license.txt.gz";
  std::string archive_name = "Plim.tar.gz";
  std::optional<std::string> magic;
  std::optional<std::uint32_t> exe_length, license_length, archive_length;
  bool archive_name_nul = true;
  std::size_t extra_bytes = 0;
  std::vector<std::string> paths;  // OUT IMAGE LICENSE_GZ ARCHIVE_GZ
};

[[noreturn]] void usage_error(const std::string& message) {
  std::fprintf(stderr,
               "assemble_package: %s\n"
               "usage: assemble_package [--version=M.m.p.d] [--license-name=NAME] "
               "[--archive-name=NAME]\n"
               "       [--magic=TEXT] [--exe-length=N] [--license-length=N] "
               "[--archive-length=N]\n"
               "       [--no-archive-name-nul] [--extra-bytes=N] OUT IMAGE LICENSE_GZ ARCHIVE_GZ\n",
               message.c_str());
  std::exit(1);
}

std::uint64_t parse_number(std::string_view text, std::uint64_t max, const char* what) {
  std::string copy(text);
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
  if (copy.empty() || *end != '\0' || errno != 0 || copy[0] == '-' || value > max)
    usage_error(std::string("bad ") + what + ": " + copy);
  return value;
}

void parse_version(std::string_view text, std::uint8_t (&version)[4]) {
  for (int i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) usage_error("bad version: want MAJOR.MINOR.PATCH.DELTA");
    version[i] = static_cast<std::uint8_t>(parse_number(text.substr(0, dot), 255, "version byte"));
    text.remove_prefix(i < 3 ? dot + 1 : dot);
  }
}

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value_of = [&](std::string_view name) -> std::optional<std::string_view> {
      if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=')
        return arg.substr(name.size() + 1);
      return std::nullopt;
    };
    constexpr std::uint32_t u32_max = 0xffffffffu;
    if (auto v = value_of("--version")) parse_version(*v, options.version);
    else if (auto v = value_of("--license-name")) options.license_name = *v;
    else if (auto v = value_of("--archive-name")) options.archive_name = *v;
    else if (auto v = value_of("--magic")) options.magic = std::string(*v);
    else if (auto v = value_of("--exe-length")) options.exe_length = parse_number(*v, u32_max, "length");
    else if (auto v = value_of("--license-length")) options.license_length = parse_number(*v, u32_max, "length");
    else if (auto v = value_of("--archive-length")) options.archive_length = parse_number(*v, u32_max, "length");
    else if (auto v = value_of("--extra-bytes")) options.extra_bytes = parse_number(*v, 1u << 20, "count");
    else if (arg == "--no-archive-name-nul") options.archive_name_nul = false;
    else if (arg.starts_with("--")) usage_error("unknown option " + std::string(arg));
    else options.paths.emplace_back(arg);
  }
  if (options.paths.size() != 4) usage_error("want OUT IMAGE LICENSE_GZ ARCHIVE_GZ");
  return options;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "assemble_package: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    std::exit(1);
  }
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() > 0xffffffffu) {
    std::fprintf(stderr, "assemble_package: %s does not fit a 32-bit length\n", path.c_str());
    std::exit(1);
  }
  return bytes;
}

PackageTrailer make_trailer(const Options& options, const std::string& image, const std::string& license,
                            const std::string& archive) {
  PackageTrailer trailer{};
  std::memcpy(trailer.magic, kTrailerMagic, sizeof trailer.magic);
  if (options.magic) {
    std::memset(trailer.magic, 0, sizeof trailer.magic);
    std::memcpy(trailer.magic, options.magic->data(), std::min(options.magic->size(), sizeof trailer.magic));
  }
  trailer.major = options.version[0];
  trailer.minor = options.version[1];
  trailer.patch = options.version[2];
  trailer.delta = options.version[3];
  trailer.set_exe_length(options.exe_length.value_or(static_cast<std::uint32_t>(image.size())));
  trailer.set_license_length(options.license_length.value_or(static_cast<std::uint32_t>(license.size())));
  trailer.set_archive_length(options.archive_length.value_or(static_cast<std::uint32_t>(archive.size())));
  return trailer;
}

// The whole file, in layout order.
std::string package_bytes(const Options& options) {
  std::string image = read_whole_file(options.paths[1]);
  std::string license = read_whole_file(options.paths[2]);
  std::string archive = read_whole_file(options.paths[3]);
  PackageTrailer trailer = make_trailer(options, image, license, archive);

  std::string out = image + license + archive;
  out += options.license_name;
  out += '\0';
  out += options.archive_name;
  if (options.archive_name_nul) out += '\0';
  out.append(options.extra_bytes, 'x');
  out.append(reinterpret_cast<const char*>(&trailer), sizeof trailer);
  return out;
}

void write_file(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
  std::size_t done = 0;
  while (fd >= 0 && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (fd < 0 || done != bytes.size() || ::fchmod(fd, 0755) != 0 || ::close(fd) != 0) {
    std::fprintf(stderr, "assemble_package: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parse_options(argc, argv);
  write_file(options.paths[0], package_bytes(options));
  return 0;
}
