#pragma once

#include <vector>

#include "core/settings.h"
#include "profile/profile_config.h"

// The installer's options, in one table: each row says in which modes the
// second pass accepts it. The first pass (which finds --help and --config,
// and the options that choose the mode) accepts every row. Both tables keep
// the rows' order, so a letter given to two rows (n: netscape and mozilla)
// means the first, netscape, in each.

// Every option, ended by an entry without name.
std::vector<OptionSpec> first_pass_options();

// The options `mode` accepts, ended by an entry without name.
std::vector<OptionSpec> mode_options(RunMode mode);
