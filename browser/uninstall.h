#pragma once

#include <sys/types.h>

#include <string>

#include "core/browser_list.h"
#include "core/install_dirs.h"
#include "core/settings.h"

namespace plim {

// Removing an installation. Nothing here ends the process: a removal that
// fails is passed over and the rest still runs, and the result says so.

// Whether uninstall_plugin ends with "has been uninstalled": an uninstall
// says so; removing an installation the user chose not to upgrade does not.
enum class Announcement { kSilent, kUninstalled };

// Removes the settings file, the plug-in links, the install tree and the
// vendor directory when it is empty, through the held `dirs` (whose lock the
// caller holds), with a "Remove:" line for each name that went, then makes
// the `announcement`. Returns 0; 1 after an "Error:" line when the tree could
// not go (nothing is announced then).
int uninstall_plugin(const Settings& settings, const BrowserList& browsers, InstallDirs& dirs,
                     Announcement announcement);

// "Plim has been uninstalled from your computer." (root) or "... your
// account." on standard output and in the run log, between empty lines.
void announce_uninstalled(const Settings& settings);

// The user's ".netscape/Plim", ".netscape/plugins/nsplimmo.so" and
// ".netscape/pluginlist" (skipped without a home directory); for root, "Plim"
// and "plugins/nsplimmo.so" beside the executable of every browser in
// `browsers`. Root's
// uninstall mode, which finds no browsers, also removes "Plim" and
// "plugins/nsplimmo.so" in every browser home the settings file records when
// they are symbolic links into install_dir ("Remove:" for each).
void remove_browser_links(const Settings& settings, const BrowserList& browsers);

// Removes `name` from the directory of `exe_path`; what cannot be removed is
// renamed to its name + "~", after an older entry of that name has gone.
// Root works through the directory reached once, as the user who controls
// the way there (a way refused gives its "Refused:" line and -1). Returns 0
// when the name is gone, -1 when it is still there.
int remove_beside(const std::string& exe_path, const std::string& name);

// "rm -rf path" with its error output discarded, run as `uid` (-1: the
// installer's own ids). Returns 0 when nothing is left at `path`, else -1.
//
// One of two tree removers. This one is for a path the run's own user
// removes in a directory of that user's (the personal ~/.netscape/Plim),
// where the uninstaller has always run rm and no one else's rights are in
// play. Whatever root removes, and every removal in a directory held by a
// descriptor, goes through remove_tree_at (core/tree_removal.h), which
// works relative to descriptors and never follows a link.
int remove_recursive(const std::string& path, int uid = -1);

}  // namespace plim
