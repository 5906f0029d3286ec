// Command-line scanning and option checks of a ProfileConfig.
#include "profile/option_scanner.h"
#include "profile/profile_config.h"
#include "profile/value_conversion.h"

namespace profile {

int ProfileConfig::parse_options(int count, const char* const* arguments, const OptionSpec* options) {
  if (count < 0 || arguments == nullptr) count = 0;
  static const OptionSpec no_options[] = {{nullptr, 0, nullptr, 0}};
  if (options == nullptr) options = no_options;
  OptionScanner scanner(*option_names_, messages_, count, arguments, profile_name_, options);
  // Every named option gets its column, given or not.
  for (const OptionSpec* entry = options; entry->name; ++entry) {
    if (entry->name[0] != '\0') option_names_->intern_name(entry->name);
  }
  for (int index; (index = scanner.next_option()) >= 0;) {
    const char* name = options[index].name;
    if (name[0] == '\0') continue;
    given_.set_value(option_names_->find_name(name), scanner.value ? scanner.value : "TRUE");
  }
  // A second scan replaces the kept command line; values accumulate.
  arguments_.clear();
  for (int index = 0; index < count; ++index) {
    if (arguments[index]) {
      arguments_.emplace_back(arguments[index]);
    } else {
      arguments_.emplace_back(std::nullopt);
    }
  }
  first_operand_ = scanner.position;
  return scanner.position;
}

int ProfileConfig::first_given(std::span<const int> columns, bool require_true) {
  return first_given_in(std::vector<int>(columns.begin(), columns.end()), require_true);
}

int ProfileConfig::first_given_until_negative(const int* columns, bool require_true) {
  std::vector<int> list;
  for (; columns && *columns >= 0; ++columns) list.push_back(*columns);
  return first_given_in(list, require_true);
}

int ProfileConfig::first_given(const char* const* names, bool require_true) {
  std::vector<int> list;
  for (; names && *names; ++names) list.push_back(option_names_->find_name(*names));
  return first_given_in(list, require_true);
}

int ProfileConfig::first_given_in(const std::vector<int>& columns, bool require_true) {
  auto set_in = [&](auto get, int column) -> const std::string* {
    const std::string* value = column >= 0 ? get(column) : nullptr;
    if (value == nullptr) return nullptr;
    if (!require_true) return value;
    const std::string& text = *value;
    bool is_true = flag_value(text).value_or(0) != 0;
    return is_true ? value : nullptr;
  };
  auto from_given = [&](int column) { return given_.get(column); };
  auto from_own = [&](int column) { return profiles_->get(own_profile_, column); };
  auto from_global = [&](int column) { return profiles_->get(global_profile_, column); };

  auto check_row = [&](auto get) -> int {
    for (std::size_t first = 0; first < columns.size(); ++first) {
      const std::string* first_value = set_in(get, columns[first]);
      if (first_value == nullptr) continue;
      const char* first_name = option_names_->name_at(columns[first]);
      for (std::size_t other = first + 1; other < columns.size(); ++other) {
        const std::string* other_value = set_in(get, columns[other]);
        const char* other_name = option_names_->name_at(columns[other]);
        if (other_value == nullptr || columns[other] == columns[first] || !first_name || !other_name) {
          continue;
        }
        // A value is shown as C text, up to a NUL it may hold.
        std::string_view first_text = first_value->c_str(), other_text = other_value->c_str();
        messages_.push_message(std::string("Ambiguous options: '") + first_name + "=" +
                               std::string(first_text) + "' and '" + other_name + "=" +
                               std::string(other_text) + "' specified.");
      }
      return static_cast<int>(first);
    }
    return -1;
  };
  if (int found = check_row(from_given); found >= 0) return found;
  if (int found = check_row(from_own); found >= 0) return found;
  return check_row(from_global);
}

}  // namespace profile
