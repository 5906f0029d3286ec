#pragma once

#include <string>

#include "profile/byte_source.h"
#include "profile/message_queue.h"
#include "profile/name_index.h"
#include "profile/profile_table.h"

namespace profile {

// The pieces of a configuration object that reading a profile file writes.
struct ProfileStore {
  NameIndex& option_names;
  NameIndex& profile_names;
  ProfileTable& profiles;
  MessageQueue& messages;
  // Named by the error messages; nullptr prints as "(null)".
  const std::string* file_path;
  int status_column;
};

// Reads one profile file into row (the current profile until a section
// header changes it). line counts every line break read, starting where the
// caller set it, and stays at INT_MAX once it gets there. Malformed entries and unknown parents become
// messages; reading goes on after them. Any byte sequence is accepted.
void read_profile_file(ByteSource& file, int& line, int row, const ProfileStore& store);

}  // namespace profile
