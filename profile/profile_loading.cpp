// Finding and reading profile files for a ProfileConfig.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "profile/profile_config.h"
#include "profile/profile_reader.h"
#include "profile/search_directories.h"
#include "profile/text_rules.h"

namespace profile {

namespace {

// Opens path for reading; -1 when it does not open.
int open_for_reading(const char* path) {
  if (path == nullptr) return -1;
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

const char* ProfileConfig::profile_file_path(std::string_view name, int where) {
  file_path_.reset();
  if (name.empty()) name = "global";
  const std::string* home = home_directory();
  if (where < 0) return home ? home->c_str() : nullptr;
  if (where > 0) {
    file_path_ = system_directory();
  } else {
    if (home == nullptr) return nullptr;
    file_path_ = *home + "/.Plim/";
  }
  file_path_->append(name);
  file_path_->append(".conf");
  return file_path_->c_str();
}

bool ProfileConfig::open_and_read(int fd, int row, const char* status) {
  if (fd < 0) {
    profiles_->set_value(row, status_column_, "");
    return false;
  }
  profiles_->set_value(row, status_column_, status);
  FdByteSource file(fd);
  int line = 1;
  ProfileStore store{
      *option_names_, *profile_names_, *profiles_, messages_, file_path_ ? &*file_path_ : nullptr,
      status_column_};
  profile::read_profile_file(file, line, row, store);
  ::close(fd);
  return true;
}

int ProfileConfig::load_profile(std::string_view name) {
  std::string base(base_name(name));
  int known = profile_names_->find_name(base);
  // A profile is looked for once per family of objects, found or not.
  if (known >= 0) return known;
  int row = profile_names_->intern_name(base);
  profiles_->ensure_rows(row + 1);
  int fd = open_for_reading(profile_file_path(base, 0));
  if (fd < 0) fd = open_for_reading(profile_file_path(base, 1));
  open_and_read(fd, row, "read");
  return row;
}

int ProfileConfig::load_profile(std::string_view path, std::string_view profile) {
  file_path_ = std::string(path);
  int fd = open_for_reading(file_path_->c_str());
  int row = profile_names_->intern_name(profile);
  profiles_->ensure_rows(row + 1);
  open_and_read(fd, row, "default");
  return row;
}

void ProfileConfig::read_profile_file(std::istream& file, int& line, int row) {
  StreamByteSource source(file);
  ProfileStore store{
      *option_names_, *profile_names_, *profiles_, messages_, file_path_ ? &*file_path_ : nullptr,
      status_column_};
  profile::read_profile_file(source, line, row, store);
}

}  // namespace profile
