#pragma once

#include <vector>

#include "core/settings.h"
#include "profile/profile_config.h"

namespace plim {

using profile::OptionSpec;
using profile::ProfileConfig;
using profile::ProfileConfigPtr;

// The installer's options, in one table: each row says in which modes the
// second pass accepts it. The first pass (which finds --help and --config,
// and the options that choose the mode) accepts every row. Both tables keep
// the rows' order, so a letter given to two rows (n: netscape and mozilla)
// means the first, netscape, in each.

// The mode the command line and the profiles choose (`config` holds both):
// the program's name ("uninstall", "package", in any letter case) wins over
// every option; then uninstall, package, list, info, check, extract (given
// at all, even empty) and upgrade, the first that is set; otherwise install.
RunMode choose_mode(const char* program_name, const ProfileConfig& config);

// Every option, ended by an entry without name.
std::vector<OptionSpec> first_pass_options();

// The options `mode` accepts, ended by an entry without name.
std::vector<OptionSpec> mode_options(RunMode mode);

}  // namespace plim
