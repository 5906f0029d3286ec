#pragma once

namespace plim {

// Installs the new-handler through which every allocation of the installer
// fails the same way: the system error for "realloc", then exit status 1.
void install_allocation_failure_handler();

}  // namespace plim
