#include "profile/option_scanner.h"

#include <cstring>

#include "profile/text_rules.h"

namespace profile {

namespace {

// Kinds that take a value: 1 requires one, 2 takes one optionally, 3 requires
// one that begins (in the short form) with the letter itself.
bool requires_value(int kind) { return kind == 1 || kind == 3; }
bool takes_value(int kind) { return kind == 1 || kind == 2 || kind == 3; }

std::string cut(std::string_view text, std::size_t most) { return std::string(text.substr(0, most)); }

}  // namespace

OptionScanner::OptionScanner(NameIndex& names, MessageQueue& queue, int argument_count,
                             const char* const* argument_list, const std::string& program_name,
                             const OptionSpec* option_table)
    : option_names(names),
      messages(queue),
      count(argument_list ? argument_count : 0),
      arguments(argument_list),
      program(program_name),
      options(option_table) {
  for (const OptionSpec* entry = options; entry && entry->name; ++entry) {
    letters.push_back(entry->letter >= 1 && entry->letter <= 255 ? static_cast<char>(entry->letter) : '-');
  }
}

const char* OptionScanner::argument_at(int index) const {
  return index >= 0 && index < count ? arguments[index] : nullptr;
}

int OptionScanner::next_option() {
  value = nullptr;
  const char* argument = argument_at(position);
  if (argument == nullptr || argument[0] != '-') return -1;
  if (argument[offset] == '\0') {
    if (offset == 1) return -1;  // a lone "-" is an operand
    // This cluster is used up; go on with the next argument.
    offset = 1;
    ++position;
    argument = argument_at(position);
    if (argument == nullptr || argument[0] != '-' || argument[1] == '\0') return -1;
  }
  if (offset == 1 && argument[1] == '-') {
    offset = 2;
    if (argument[2] == '\0') {
      ++position;  // "--" ends the options and is consumed
      return -1;
    }
    return long_option(argument, argument + 2);
  }
  return short_option();
}

int OptionScanner::long_option(const char* argument, const char* text) {
  for (int index = 0; options[index].name; ++index) {
    const OptionSpec& entry = options[index];
    if (std::strcmp(entry.name, text) != 0) continue;
    if (requires_value(entry.arg_kind) && argument_at(position + 1) != nullptr) {
      value = argument_at(position + 1);
      position += 2;
    } else {
      // Kinds 0 and 2, or a required value missing at the very end: the
      // option counts as given without a value.
      position += 1;
    }
    offset = 1;
    return index;
  }
  for (int index = 0; options[index].name; ++index) {
    const OptionSpec& entry = options[index];
    std::size_t length = std::strlen(entry.name);
    if (std::strncmp(entry.name, text, length) != 0 || text[length] != '=') continue;
    if (takes_value(entry.arg_kind)) value = text + length + 1;
    position += 1;
    offset = 1;
    return index;
  }
  messages.push_message("Unrecognized option '" + cut(argument, 1024) + "'");
  return -1;
}

int OptionScanner::short_option() {
  const char* argument = arguments[position];
  char c = argument[offset];
  std::size_t index = c == '-' ? std::string::npos : letters.find(c);
  if (index == std::string::npos) {
    messages.push_message(std::string("Unrecognized option -") + c);
    return -1;
  }
  const OptionSpec& entry = options[index];
  if (!takes_value(entry.arg_kind)) {
    ++offset;  // the next call goes on in the same cluster
    return static_cast<int>(index);
  }
  if (entry.arg_kind != 3) ++offset;
  if (argument[offset] != '\0') {
    value = argument + offset;
    position += 1;
  } else if (argument_at(position + 1) != nullptr) {
    value = argument_at(position + 1);
    position += 2;
  } else {
    position += 1;
    if (requires_value(entry.arg_kind)) {
      messages.push_message("Argument required for --" + printf_field(entry.name, 1024) + " option");
      return -1;
    }
  }
  offset = 1;
  return static_cast<int>(index);
}

}  // namespace profile
