#pragma once

#include <string>

namespace profile {

// Where profile files are looked for. Both directories are determined once
// per process, on first use, and kept for every object afterwards, also when
// the environment changes later.

// The home directory: $HOME when it begins with "/", else the password
// entry's directory of the real user when that begins with "/"; nullptr when
// there is neither. The text lives until the end of the process.
const std::string* home_directory();

// The system directory: $PLIM_CONFIG_DIR when it begins with "/", else
// "/etc/Plim/". It is a literal prefix of the file name: no "/" is inserted.
const std::string& system_directory();

// The rules above as pure functions of the candidates (nullptr: not set).
const char* choose_home_directory(const char* home_variable, const char* password_directory);
const char* choose_system_directory(const char* config_variable);

// For tests only: forget both directories, so that the next use looks at the
// environment again. Invalidates texts handed out before.
void forget_search_directories_for_testing();

}  // namespace profile
