#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/package_contents.h"
#include "core/settings.h"
#include "core/unique_fd.h"
#include "package/mapped_file.h"

namespace plim {

// Package mode: joins the running program's own executable image (the image
// and exe_length of `own`: the whole file of a bare executable,
// the executable part of a package) with a compressed licence and a
// compressed archive into "install" beside the program path, mode 0755.
//
// Two forms:
//   program major minor patch delta license.gz archive.gz
//     (exactly six arguments, the first four starting with a digit)
//   program
//     (no arguments; version, license_file and prefix from the settings: the
//     licence is compressed with "gzip -9 -c" and the installed tree archived
//     with "tar --create --gzip", recorded as root:root where tar allows;
//     with SOURCE_DATE_EPOCH set, reproducibly, see archive_command)
// Anything else prints the build usage and ends the process with status 1,
// after an error line when a version word of the argument form is not a
// number from 0 to 255. An input file that cannot be opened, is not a
// regular file or is empty is named in an error line (status 1).
//
// Returns 0 after the package was written, 1 after a reported failure of
// gzip, tar or a temporary file; then no new "install" exists and an old one
// is untouched. Unreadable inputs and output failures end the process with
// status 1 (the previous "install" survives them too).
int build_package(const PackageContents& own, const Settings& settings, int argc, char** argv);

// What the argument form gives: the four version bytes (the low 8 bits of
// the decimal number each of arguments 1 to 4 begins with), the two member
// files (arguments 5 and 6) and their names in the package (the text after
// the last "/" of each).
struct PackageArguments {
  std::uint8_t version[4];
  const char* license_path;
  const char* archive_path;
  std::string_view license_name;
  std::string_view archive_name;
};

// The argument form read from the argument vector, or nothing when argv is
// not in that form. Reads nothing but argv.
std::optional<PackageArguments> read_package_arguments(int argc, char* const* argv);

// Whether `word` is a version word of the argument form: decimal digits
// only, a number from 0 to 255 (leading zeros allowed).
bool is_version_word(std::string_view word);

// Whether `value` (of SOURCE_DATE_EPOCH) is a count of seconds: 1 to 18
// decimal digits.
bool is_epoch_seconds(std::string_view value);

// The settings form's tar command, archiving `install_dir` into
// `archive_path` without the licence text, the uninstaller copy and NFS
// leftovers, members as root:root. With an `epoch` (seconds) the archive is
// reproducible: names sorted, every member's time the epoch, owner and
// group the numbers 0, compressed by "gzip -n". The owner options are the
// two words before the last.
std::vector<std::string> archive_command(const std::string& license_text_name, const std::string& install_dir,
                                         const std::string& archive_path,
                                         const std::optional<std::string>& epoch);

// One member of a package being built: its name in the package, its bytes,
// and, where there is one, an open descriptor of the file they are mapped
// from, so that the package gets them by a copy inside the kernel.
struct NewMember {
  std::string name;
  MappedFile data;
  UniqueFd source;
};

// A package being built: its version (major, minor, patch, delta) and members.
struct NewPackage {
  std::uint8_t version[4];
  NewMember license;
  NewMember archive;
};

// Writes "install" beside `program_path`: the running program's own image,
// the licence, the archive, the two names with their NULs and the trailer.
// Prints "Archive successfull!" and returns 0; 1 when the parts together
// exceed the 32-bit lengths of the format, or when a member is not whole
// gzip data, the archive does not list as tar, or a member's name does not
// end in ".gz" (an error line names it; no file is written).
int write_package(const PackageContents& own, const NewPackage& package, const char* program_path);

}  // namespace plim
