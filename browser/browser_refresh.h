#pragma once

#include <string>
#include <vector>

// Tells the running browsers about the new plug-in: each eligible browser's
// executable is started once more with "--remote" and an openFile command for
// the installed welcome page, one at a time. Root refreshes every browser
// seen running, as the user who runs it; an ordinary user only the browsers
// running under its own real or effective user id. Browsers with no running
// instance are skipped.
void refresh_running_browsers();

// Runs `argv` (argv[0] looked up along PATH) as `uid`, with that user's
// groups, and HOME, USER and LOGNAME from its password entry when `uid` is
// not the installer's real user id. When the user cannot be taken on in
// full, the command is not run: the child reports the failed call and
// "Failed to execute %s\n" and ends with status 1. Returns the wait status.
int run_as_user(const std::vector<std::string>& argv, int uid);
