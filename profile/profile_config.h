#pragma once

// Configuration profiles: named option values from the command line, the
// program's own profile and the profile "global", in that order of
// precedence. Profiles are read from "<name>.conf" files in the personal
// directory ($HOME/.Plim/) or else the system directory (/etc/Plim/ or
// $PLIM_CONFIG_DIR). The library never prints (print_messages excepted) and
// never exits: problems become messages in the object's queue.
//
// Usage:
//   static const OptionSpec options[] = {{"prefix", 1, nullptr, 'p'},
//                                        {"quiet", 0, nullptr, 'v'},
//                                        {nullptr, 0, nullptr, 0}};
//   ProfileConfig* config = ProfileConfig::create("plugin");   // reads global, plugin
//   int first_operand = config->parse_options(argc, argv, options);
//   while (const char* message = config->next_message()) fprintf(stderr, "%s\n", message);
//   const char* prefix = config->get_string("prefix");         // nullptr: not set
//   bool quiet = config->get_flag("quiet", 0);
//   ProfileConfig::destroy(config);
//
// Lifetimes: every text handed out is owned by the object. A value stays
// valid until the same option is set again in the same row or the object
// (and every object sharing its profiles) is destroyed; a message until the
// next next_message; a path from profile_file_path until the object's next
// path lookup or profile load. Copy what you keep longer.

#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "profile/message_queue.h"
#include "profile/name_index.h"
#include "profile/profile_table.h"

namespace profile {

// One entry of an option table; a table ends with an entry whose name is
// nullptr.
struct OptionSpec {
  // Long name without dashes, and the option's column name. An empty name is
  // recognised but stores nothing.
  const char* name;
  // 0: takes no value; 1: requires a value; 2: takes an optional value;
  // 3: requires a value, and in the short form the value begins with the
  // option letter itself.
  int arg_kind;
  // Not used by the library.
  void* unused;
  // The short option character, 1 to 255; any other number: no short form.
  int letter;
};

class ProfileConfig {
 public:
  // Constructors. The caller owns the object and releases it with destroy.

  // Reads global, then the profile named by the part of name after its last
  // "/", in lower case ("/usr/bin/Plugin" gives "plugin"), each from the
  // personal file, else the system file.
  static ProfileConfig* create(std::string_view name);
  // Reads global along the search path and the file at path into profile
  // (unchanged). A file that does not open is no error.
  static ProfileConfig* create_from_file(std::string_view path, std::string_view profile);
  // Shares source's profiles and names; starts without command-line values,
  // messages or arguments. Profiles either loads later are seen by both.
  static ProfileConfig* clone(const ProfileConfig* source);
  // Nothing for nullptr.
  static void destroy(ProfileConfig* config);

  // Scans the command line against options (ended by a nullptr name) into the
  // command-line row; gives the index of the first argument not consumed (or
  // where an error stopped the scan). Keeps a copy of the arguments. A second
  // scan replaces the kept arguments; stored values accumulate.
  int parse_options(int count, const char* const* arguments, const OptionSpec* options);

  // The value the object sees, or nullptr when none is set.
  const char* get_string(std::string_view name) const;
  // default_value when not set; 1 for T/t..., 0 for "" and F/f..., otherwise
  // the leading decimal integer, or default_value when there is none.
  int get_flag(std::string_view name, int default_value) const;
  // default_value when not set; the value as a decimal integer, or
  // default_value and the message "'<value>' is not a number".
  int get_number(std::string_view name, int default_value);

  bool has_messages() const { return messages_.has_messages(); }
  // The oldest pending message, or nullptr.
  const char* next_message() { return messages_.pop_message(); }
  // Writes every pending message to standard error, as "prefix: message\n"
  // or, without a prefix (nullptr), "message\n".
  void print_messages(const char* prefix);
  void clear_messages() { messages_.clear(); }

  // where > 0: the system file of name; 0: the personal file (nullptr
  // without a home directory); < 0: the home directory itself (owned by the
  // process, not by the object), or nullptr. An empty name stands for global.
  const char* profile_file_path(std::string_view name, int where);

  // Makes the profile named by the part after the last "/" the object's own,
  // loading it when it is new; true when it was found ("read" or "default").
  bool select_profile(std::string_view name);
  // Finds a profile along the search path (at most once per object family);
  // gives its row.
  int load_profile(std::string_view name);
  // Reads the file at path into profile; gives its row.
  int load_profile(std::string_view path, std::string_view profile);
  // Reads path as create_from_file would, then replaces this object's rows
  // of every profile so read by the rows read; messages move over.
  void merge_file(std::string_view path, std::string_view profile);

  // The position in the list of the first option set in the first row
  // (command line, own profile, global) that sets any of them, or -1. With
  // require_true a value counts only when it is true (T/t or a nonzero
  // number). Further options set in that row are reported as ambiguous.
  int first_given(std::span<const int> columns, bool require_true);
  // Columns ended by a negative one.
  int first_given_until_negative(const int* columns, bool require_true);
  // Option names ended by nullptr.
  int first_given(const char* const* names, bool require_true);

  // Reads profile text from file into row, counting lines from line (as a
  // profile file is read; tests feed text this way).
  void read_profile_file(std::istream& file, int& line, int row);

  // Name access: option_names numbers the columns, profile_names the rows.
  NameIndex& option_names() { return *option_names_; }
  NameIndex& profile_names() { return *profile_names_; }
  const NameIndex& option_names() const { return *option_names_; }
  const NameIndex& profile_names() const { return *profile_names_; }

  // Argument access: the kept copy of the command line (nullptr for an
  // argument that was missing) and the index of the first operand.
  int argument_count() const { return static_cast<int>(arguments_.size()); }
  const char* argument(int index) const;
  int first_operand() const { return first_operand_; }

  // The value for column: command line, then own profile, then global.
  const std::string* resolve_value(int column) const;

  const std::string& profile_name() const { return profile_name_; }
  const char* file_path() const { return file_path_ ? file_path_->c_str() : nullptr; }
  int own_profile() const { return own_profile_; }
  int global_profile() const { return global_profile_; }
  int status_column() const { return status_column_; }
  // The value of column in row of the shared profiles, or nullptr.
  const std::string* profile_value(int row, int column) const { return profiles_->get(row, column); }
  // How many objects share the profiles beyond the first (0: one owner).
  long share_count() const { return profiles_.use_count() - 1; }

  ProfileConfig(const ProfileConfig&) = delete;
  ProfileConfig& operator=(const ProfileConfig&) = delete;

 private:
  ProfileConfig() = default;
  ~ProfileConfig();

  // What every constructor starts with: the option names (shared with
  // another object when shared_names is given), fresh profile names and
  // table, the status column, and the profile global loaded.
  static ProfileConfig* start(std::shared_ptr<NameIndex> shared_names);
  bool open_and_read(int fd, int row, const char* status);
  int first_given_in(const std::vector<int>& columns, bool require_true);

  std::optional<std::string> file_path_;
  std::string profile_name_;
  int global_profile_ = 0;
  int own_profile_ = 0;
  MessageQueue messages_;
  std::shared_ptr<NameIndex> option_names_;
  std::shared_ptr<NameIndex> profile_names_;
  std::shared_ptr<ProfileTable> profiles_;
  ValueRow given_;
  std::vector<std::optional<std::string>> arguments_;
  int first_operand_ = 0;
  int status_column_ = 0;
};

// Releases a ProfileConfig through destroy, for std::unique_ptr owners.
struct ProfileConfigDestroy {
  void operator()(ProfileConfig* config) const { ProfileConfig::destroy(config); }
};
using ProfileConfigPtr = std::unique_ptr<ProfileConfig, ProfileConfigDestroy>;

}  // namespace profile
