#pragma once

#include <cstddef>

#include "core/package_contents.h"

namespace plim {

// Whether a package's members are whole, found by reading them through the
// system's gunzip to their end and listing the archive with tar, without
// writing anything. The children's own messages are discarded: the callers
// say in one line what was found.

// Whether the archive's listing is shown on standard output.
enum class ArchiveListing { kHidden, kShown };

// Whether the `length` bytes at `data` decompress with gunzip, to their end,
// without an error or a warning.
bool gzip_member_is_whole(const char* data, std::size_t length);

// Whether the gzip data at `data` decompresses to its end and lists as a tar
// archive ("tar -tvf -" when the listing is shown, "tar -tf -" otherwise).
bool archive_lists_as_tar(const char* data, std::size_t length, ArchiveListing listing);

// Runs "gunzip --version" and "tar --version": with their messages
// discarded in a check, a program that cannot be started would look like a
// damaged member, so a missing one ends the run here (its error lines shown,
// status 1).
void require_gunzip_and_tar();

// What the running program carries.
enum class PackageState {
  kWhole,
  kMissing,  // no trailer, or one that does not fit the file: cut, damaged or a bare executable
  kDamaged,  // a member does not decompress, or the archive does not list as tar
};

// Reads both members of the own package to their end and lists the archive
// (after require_gunzip_and_tar).
PackageState check_own_package(const PackageContents& contents, ArchiveListing listing);

// The one line (standard error and run log) for a package that is not whole.
void report_package_state(PackageState state, const char* program_path);

// Install and upgrade modes: a package that is not whole ends the run at
// once, before anything is looked for or asked, with its one line and
// status 1.
void require_whole_package(const PackageContents& contents, const char* program_path);

}  // namespace plim
