#include "profile/profile_config.h"

#include <cstdio>

#include "profile/text_rules.h"
#include "profile/value_conversion.h"

namespace profile {

namespace {

std::string lower_case(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

}  // namespace

ProfileConfig* ProfileConfig::start(std::shared_ptr<NameIndex> shared_names) {
  ProfileConfig* config = new ProfileConfig;
  config->option_names_ = shared_names ? std::move(shared_names) : std::make_shared<NameIndex>();
  config->profile_names_ = std::make_shared<NameIndex>();
  config->profiles_ = std::make_shared<ProfileTable>();
  config->status_column_ = config->option_names_->intern_name("profile:");
  config->global_profile_ = config->load_profile("global");
  return config;
}

ProfileConfig* ProfileConfig::create(std::string_view name) {
  ProfileConfig* config = start(nullptr);
  config->profile_name_ = lower_case(base_name(name));
  config->own_profile_ = config->load_profile(config->profile_name_);
  return config;
}

ProfileConfig* ProfileConfig::create_from_file(std::string_view path, std::string_view profile) {
  ProfileConfig* config = start(nullptr);
  config->profile_name_ = profile;
  config->own_profile_ = config->load_profile(path, profile);
  return config;
}

ProfileConfig* ProfileConfig::clone(const ProfileConfig* source) {
  ProfileConfig* config = new ProfileConfig;
  config->option_names_ = source->option_names_;
  config->profile_names_ = source->profile_names_;
  config->profiles_ = source->profiles_;
  config->global_profile_ = source->global_profile_;
  config->own_profile_ = source->own_profile_;
  config->profile_name_ = source->profile_name_;
  config->file_path_ = source->file_path_;
  config->status_column_ = config->option_names_->find_name("profile:");
  return config;
}

void ProfileConfig::merge_file(std::string_view path, std::string_view profile) {
  ProfileConfigPtr temporary(start(option_names_));
  temporary->profile_name_ = profile;
  temporary->own_profile_ = temporary->load_profile(path, profile);
  messages_.take_all_from(temporary->messages_);
  const NameIndex& names = *temporary->profile_names_;
  for (int rank = 0; rank < names.count(); ++rank) {
    int from = names.number_in_sorted_order(rank);
    int to = profile_names_->intern_name(names.name_at(from));
    profiles_->ensure_rows(to + 1);
    temporary->profiles_->ensure_rows(from + 1);
    profiles_->row(to) = temporary->profiles_->row(from);
  }
  profile_name_ = temporary->profile_name_;
  file_path_ = temporary->file_path_;
}

void ProfileConfig::destroy(ProfileConfig* config) { delete config; }

ProfileConfig::~ProfileConfig() {
  // The arguments go first, then the shared pieces in this order; each
  // piece itself goes with its last owner.
  arguments_.clear();
  option_names_.reset();
  profile_names_.reset();
  profiles_.reset();
}

const std::string* ProfileConfig::resolve_value(int column) const {
  if (column < 0) return nullptr;
  if (const std::string* value = given_.get(column)) return value;
  if (const std::string* value = profiles_->get(own_profile_, column)) return value;
  return profiles_->get(global_profile_, column);
}

const char* ProfileConfig::get_string(std::string_view name) const {
  const std::string* value = resolve_value(option_names_->find_name(name));
  return value ? value->c_str() : nullptr;
}

int ProfileConfig::get_flag(std::string_view name, int default_value) const {
  const std::string* value = resolve_value(option_names_->find_name(name));
  if (value == nullptr) return default_value;
  return flag_value(*value).value_or(default_value);
}

int ProfileConfig::get_number(std::string_view name, int default_value) {
  const std::string* value = resolve_value(option_names_->find_name(name));
  if (value == nullptr) return default_value;
  if (std::optional<int> number = number_value(*value)) return *number;
  messages_.push_message("'" + printf_field(*value, 10) + "' is not a number");
  return default_value;
}

void ProfileConfig::print_messages(const char* prefix) {
  while (const char* message = messages_.pop_message()) {
    if (prefix != nullptr) {
      std::fprintf(stderr, "%s: %s\n", prefix, message);
    } else {
      std::fprintf(stderr, "%s\n", message);
    }
  }
}

const char* ProfileConfig::argument(int index) const {
  if (index < 0 || index >= argument_count() || !arguments_[index]) return nullptr;
  return arguments_[index]->c_str();
}

bool ProfileConfig::select_profile(std::string_view name) {
  profile_name_ = base_name(name);
  own_profile_ = load_profile(profile_name_);
  const std::string* status = resolve_value(status_column_);
  return status != nullptr && !status->empty();
}

}  // namespace profile
