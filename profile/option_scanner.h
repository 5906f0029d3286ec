#pragma once

#include <string>

#include "profile/message_queue.h"
#include "profile/name_index.h"
#include "profile/profile_config.h"

namespace profile {

// The state of one scan of a command line against an option table.
struct OptionScanner {
  OptionScanner(NameIndex& names, MessageQueue& queue, int argument_count, const char* const* argument_list,
                const std::string& program_name, const OptionSpec* option_table);

  // The index in the table of the next option found, with value set (or
  // nullptr when it came without one); -1 when the options end or an error
  // message was pushed.
  int next_option();

  int position = 1;
  NameIndex& option_names;
  MessageQueue& messages;
  int count;
  int offset = 1;
  const char* const* arguments;
  const std::string& program;
  // One character per table entry: its letter, or "-" for none.
  std::string letters;
  const OptionSpec* options;
  // Points into the caller's command line.
  const char* value = nullptr;

 private:
  const char* argument_at(int index) const;
  int long_option(const char* argument, const char* text);
  int short_option();
};

}  // namespace profile
