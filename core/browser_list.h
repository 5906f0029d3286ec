#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace plim {

// One Netscape installation into which the plug-in is linked. Two entries
// never share (device, inode): that pair, not the path, is a browser's
// identity.
struct BrowserEntry {
  int owner_uid = -1;  // user seen running it; -1 while none was seen
  char libc_char = 0;  // the byte after "libc.so." in the executable; never NUL
  dev_t device = 0;
  ino_t inode = 0;
  std::string browser_home;  // MOZILLA_HOME, the given directory, or the executable's directory + "/"
  std::string exe_path;      // the executable as found
  // The user whose process's MOZILLA_HOME named browser_home; -1 when the
  // home did not come from a process environment. Root works in such a home
  // only as that user.
  int home_chosen_by = -1;
  // The owner was seen only through a process's command line (its exe link
  // named no file): that process chose the path, so root never executes it.
  bool found_by_cmdline = false;
  // Every further user seen running it, in the order seen, none twice and
  // none equal to owner_uid: root refreshes the browser once as each.
  struct OtherOwner {
    int uid;
    bool found_by_cmdline;  // as above, for this user
  };
  std::vector<OtherOwner> other_owners;
  // Found through a process whose real user does not control the way to its
  // home, which a third user does: root makes no links there, removes
  // nothing there and records it in no settings file. Kept in the list so
  // that the run goes on for the browsers root may serve.
  bool home_refused = false;

  // Whether `status` is this browser's executable: the same (device, inode).
  bool is(const struct stat& status) const { return device == status.st_dev && inode == status.st_ino; }
};

// The browsers found so far, in order of addition; entries are only appended.
using BrowserList = std::vector<BrowserEntry>;

// The entry of the executable `status` describes, if listed.
BrowserEntry* find_browser(BrowserList& list, const struct stat& status);

}  // namespace plim
