#pragma once

// A browser found through a process acts for that process's real user: the
// user decided to run it, with that home, not the users whose directories
// the way passes. Root works in a home of root's alone (a system browser)
// whoever runs it, and in the home of the user who runs the browser, but not
// in the directories of a third user who never ran it: bob running alice's
// executable must not make root rearrange alice's browser home.

#include <optional>
#include <string>

#include "core/browser_list.h"

namespace plim {

struct ForeignWay {
  std::string path;    // the browser home, or the executable's directory, as the entry names it
  std::string reason;  // "run by USER, controlled by USER", both by name
};

// For `entry`, found through a process whose real user is `runner`: the way
// to its home or to its executable's directory (where root removes its
// earlier links) that an ordinary user other than `runner` controls. None
// when both are root's alone or the runner's, for a runner that is root
// (root's own choice), and for a way the walk cannot reach or refuses
// anyway (the links then report it).
std::optional<ForeignWay> foreign_way(const BrowserEntry& entry, int runner);

}  // namespace plim
