#pragma once

// Finding Netscape browsers: named on the command line or in the installed
// settings (executables and homes), or running, through /proc. Every browser
// found is appended to the run's BrowserList (core/browser_list.h), `list`.
// `own` is the running package: a browser's executable starts with the same
// four bytes.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "core/browser_list.h"
#include "core/package_contents.h"

namespace plim {

// An executable this small is never a browser: Communicator's is larger.
inline constexpr off_t kSmallestBrowserSize = 6'506'368;

// The cheap part of identification: the file status of `path` (or `status`,
// when the caller has it already) shows a regular file of at least
// kSmallestBrowserSize bytes with an execute bit. On success the status used
// is stored in `out`.
bool is_browser_candidate(const char* path, const struct stat* status, struct stat* out);

// Appends `path` as a browser when it is a candidate, not yet listed, its
// home passes is_browser_directory and its contents name a libc. `home` is
// the browser's home; none means the executable's directory. A browser that
// is already listed takes `owner_uid` as its owner when it had none yet, else
// as one of its other owners. Returns
// whether an entry was appended (and "Found:" printed).
bool add_browser_executable(BrowserList& list, const PackageContents& own, const char* path,
                            std::optional<std::string_view> home, int owner_uid, const struct stat* status);

// Records `owner_uid` for the listed browser that `path` is. Returns whether
// `path` is a listed browser; adds nothing.
bool mark_running_instance(BrowserList& list, const char* path, int owner_uid, const struct stat* status);

// True when `dir` holds "plugins", "java" or "libjsd.so", and one of the
// files that sit beside a Communicator executable. The verdict for the last
// directory asked about is remembered, keyed by the exact string.
bool is_browser_directory(const std::string& dir);

// The file status of dir + "/" + name can be obtained (links followed).
bool exists_in(const std::string& dir, const char* name);

// The byte after the first "libc.so." (not followed by NUL) in the file at
// `path`, when the file starts with the installer's own first four bytes and
// also contains "MOZILLA_HOME" with a byte after it; 0 otherwise. The file is
// read as a stream in large blocks, never whole.
char executable_libc_char(const PackageContents& own, const char* path);

// Walks /proc. Search (mark_only false): adds every running browser and
// returns whether `list` is non-empty afterwards. Check (mark_only
// true): adds nothing; returns true at the first process that runs a listed
// browser, after recording its owner.
bool find_running_browsers(BrowserList& list, const PackageContents& own, bool mark_only);

// Pairs the colon-separated executables with the colon-separated homes by
// position, the shorter list's last item standing in for the missing ones. An
// empty last executable (or no executable list) scans its directories
// instead. Returns whether any entry was appended.
bool add_browsers_from_lists(BrowserList& list, const PackageContents& own,
                             std::optional<std::string_view> exe_list,
                             std::optional<std::string_view> dir_list);

// Adds every browser executable directly inside `dir`, a browser home.
// Returns whether any entry was appended.
bool scan_browser_directory(BrowserList& list, const PackageContents& own, const std::string& dir);

}  // namespace plim
