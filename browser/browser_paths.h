#pragma once

#include <string>

// The directory part of `path`, cut just after its last '/' (the slash
// stays): "/usr/local/netscape/netscape" gives "/usr/local/netscape/". A path
// of at most one character, or one without a '/', gives "./".
std::string directory_of(const std::string& path);

// The target of the symbolic link `path`, or nullptr when it cannot be read
// or is empty. The text lives in one buffer shared by all calls and stays
// valid only until the next call.
const char* read_symlink(const char* path);
