#pragma once

#include "core/browser_list.h"
#include "core/settings.h"

namespace plim {

// Makes the browsers of `browsers` (never empty) see the plug-in installed in
// settings.install_dir. An ordinary user gets, in the
// personal ".netscape" directory, "Plim" as a symbolic link to install_dir
// and "plugins/nsplimmo.so" as a hard link (or copy) of the library for the
// first browser's libc. Root gets, under every listed browser's home,
// "Plim" and "plugins/nsplimmo.so" as symbolic links, the library matching
// that browser's libc; in a home reached through another user's directory
// or link, or chosen through that user's MOZILLA_HOME, root makes them as
// that user, relative to the directories reached once; a home two users
// control, or one anyone may rearrange, gets a "Refused:" line instead; a
// browser whose home discovery refused (BrowserEntry::home_refused) gets
// nothing. Nothing is removed first: a name already there gives the
// "symlink" system error and the run goes on.
// Without a home directory an ordinary user gets "Error:\tNo home directory\n"
// and no links. Ends the process only when the library to copy cannot be read.
void create_browser_links(const Settings& settings, const BrowserList& browsers);

}  // namespace plim
