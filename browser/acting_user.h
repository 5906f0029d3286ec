#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <string>

// The user root takes on (through FileIdentity, or in a child) for work in a
// browser's directories, so that a link another user swaps into the path, or
// a MOZILLA_HOME that user chose, cannot steer root's rights: `chosen_by`
// when that is an ordinary user, else the first of `dirs` owned by someone
// other than root. -1 means root's own work (also whenever the process is not
// root).
uid_t acting_user(int chosen_by, std::initializer_list<std::string> dirs);
