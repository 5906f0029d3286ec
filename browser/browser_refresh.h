#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/settings.h"
#include "core/unique_fd.h"

namespace plim {

// Tells the running browsers of `browsers` about the plug-in installed in
// settings.install_dir: each eligible browser's
// executable is started once more with "--remote" and an openFile command for
// the installed welcome page, once for each user seen running it and as that
// user, one at a time. Root refreshes every browser seen running, for every
// user who runs it; an ordinary user only the browsers running under its own
// real or effective user id. Browsers with no running instance are skipped;
// after its "Execute:" line, so is a browser whose program cannot be opened
// as the one identified (open_identified_program), with
// "Error:\tNot refreshing %s: %s\n".
//
// The programs share one time budget (browser/refresh_budget.h): each gets
// what is left of its user's and of the whole refresh's seconds and is killed
// with its process group when it runs out; a user whose program was killed,
// or whose seconds are used up, and every user once the refresh's are, gets
// no further program, with "Error:\tNot refreshing %s as %d: %s\n" instead of
// the "Execute:" line. (The limit holds for the programs root, or a
// set-user-id run, starts as another user; an ordinary user's own browsers
// are the user's own children and are waited for.)
void refresh_running_browsers(const Settings& settings, const BrowserList& browsers);

// The entry's program, opened (O_PATH) with its owner's file-system rights,
// when it is still the file identified (same device and inode). For a browser
// root would run as root, also only when the file is root's and writable by
// no one else, and never when the owner was seen only through a command line.
// Otherwise no descriptor, and `refusal` says why.
UniqueFd open_identified_program(const BrowserEntry& entry, std::string& refusal);

// Runs the program open on `program_fd` with `argv` as `uid` (a stranger
// child, core/child_process.h), with that user's groups, for at most
// `time_limit`. When the user cannot be taken on in full, the command is not
// run: the child reports the failed call and "Failed to execute %s\n" and
// ends with status 1. Returns how it ended (status -1 when no child could be
// started).
ChildEnd run_as_user(const std::vector<std::string>& argv, int program_fd, int uid,
                     std::chrono::milliseconds time_limit);

}  // namespace plim
