#pragma once

#include "core/settings.h"

namespace plim {

// Turns the command line and the configuration profiles (profile "plugin")
// into `settings`, which it fills afresh, and chooses the run's mode: the program's name first
// ("uninstall", "package"), then the options. Returns the index of the first
// argument the mode's option pass did not consume. Does not return on --help
// (status 0) or on option and profile errors (messages, usage, status 1).
// Reads options only: the browsers the settings name are identified by the
// install flow.
int parse_command_line(int argc, char** argv, Settings& settings);

// Prints the usage for the program's name to standard error and ends the
// process with `status` (a program named "package" shows the build usage and
// ends with 1).
[[noreturn]] void print_usage(const char* program_path, int status);

}  // namespace plim
