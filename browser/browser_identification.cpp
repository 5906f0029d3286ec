// Deciding whether a file is a Netscape browser, and keeping the list of them.
// The cheap tests come first: file status, then the identity look-up, then
// the (memoised) directory test, and only then the scan of the contents.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <iterator>

#include "browser/browser_discovery.h"
#include "browser/libc_scan.h"
#include "core/browser_list.h"
#include "core/package_contents.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/unique_fd.h"

namespace plim {

namespace {

// A further user running a listed browser is noted, once.
void note_owner(BrowserEntry& entry, int owner_uid) {
  if (owner_uid == -1 || owner_uid == entry.owner_uid) return;
  if (entry.owner_uid == -1) {
    entry.owner_uid = owner_uid;
    return;
  }
  for (const BrowserEntry::OtherOwner& other : entry.other_owners)
    if (other.uid == owner_uid) return;
  entry.other_owners.push_back({owner_uid, false});
}

// The files of which a Communicator home holds at least one, tested in this
// order.
constexpr const char* kSiblingNames[] = {
    "Netscape.ad", "netscape-communicator", "netscape", "Netscape",  "movemail", "movemail-src",
    "registery",   "bookmarks.html",        "spell",    "XKeysymDB", "vreg"};

bool has_browser_siblings(const std::string& dir) {
  if (!exists_in(dir, "plugins")) return false;
  if (!exists_in(dir, "java") && !exists_in(dir, "libjsd.so")) return false;
  for (const char* name : kSiblingNames)
    if (exists_in(dir, name)) return true;
  return false;
}

}  // namespace

bool is_browser_candidate(const char* path, const struct stat* status, struct stat* out) {
  if (status)
    *out = *status;
  else if (::stat(path, out) != 0)
    return false;
  return out->st_size >= kSmallestBrowserSize && S_ISREG(out->st_mode) && (out->st_mode & 0111);
}

bool add_browser_executable(BrowserList& list, const PackageContents& own, const char* path,
                            std::optional<std::string_view> home, int owner_uid, const struct stat* status) {
  struct stat st;
  if (!is_browser_candidate(path, status, &st)) return false;
  if (BrowserEntry* known = find_browser(list, st)) {
    note_owner(*known, owner_uid);
    return false;
  }
  std::string browser_home = home ? std::string(*home) : directory_of(path);
  if (!is_browser_directory(browser_home)) return false;
  char libc_char = executable_libc_char(own, path);
  if (!libc_char) return false;

  BrowserEntry& entry = list.emplace_back();
  entry.owner_uid = owner_uid;
  entry.libc_char = libc_char;
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.browser_home = std::move(browser_home);
  entry.exe_path = path;
  log_printf(stderr, "Found:\tNetscape as %s linked to libc.so.%c\n", printable(entry.exe_path).c_str(),
             entry.libc_char);
  return true;
}

bool mark_running_instance(BrowserList& list, const char* path, int owner_uid, const struct stat* status) {
  if (owner_uid == -1) return false;
  struct stat st;
  if (!is_browser_candidate(path, status, &st)) return false;
  BrowserEntry* known = find_browser(list, st);
  if (!known) return false;
  if (known->owner_uid == -1) {
    known->owner_uid = owner_uid;
    log_printf(stdout, "Found:\trunning instance of %s\n", printable(path).c_str());
  }
  return true;
}

bool is_browser_directory(const std::string& dir) {
  static std::optional<std::string> remembered;
  static bool verdict = false;
  if (remembered && *remembered == dir) return verdict;
  remembered = dir;
  verdict = has_browser_siblings(dir);
  return verdict;
}

bool exists_in(const std::string& dir, const char* name) {
  struct stat st;
  return ::stat((dir + "/" + name).c_str(), &st) == 0;
}

char executable_libc_char(const PackageContents& own, const char* path) {
  // A bare executable (no package trailer) has no signature and so
  // identifies nothing, not even a file that starts with four zero bytes.
  if (own.exe_signature == 0) return 0;
  // Not blocking on open, and insisting on a regular file, keeps a FIFO
  // swapped in after the candidate test from stalling the run.
  UniqueFd fd(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return 0;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  std::uint32_t signature = 0;
  if (::read(fd.get(), &signature, sizeof signature) != sizeof signature) return 0;
  if (signature != own.exe_signature) return 0;
  log_printf(stdout, "Check: if %s is Netscape\n", printable(path).c_str());
  return scan_for_libc_char(fd.get(), kLibcScanBlockSize, kLibcScanLimit);
}

}  // namespace plim
