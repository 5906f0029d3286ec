#include "profile/search_directories.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace profile {

namespace {

bool is_absolute(const char* path) { return path != nullptr && path[0] == '/'; }

struct SearchDirectories {
  bool home_known = false;
  std::optional<std::string> home;
  std::optional<std::string> system;
};

SearchDirectories& cache() {
  static SearchDirectories directories;
  return directories;
}

}  // namespace

const char* choose_home_directory(const char* home_variable, const char* password_directory) {
  if (is_absolute(home_variable)) return home_variable;
  if (is_absolute(password_directory)) return password_directory;
  return nullptr;
}

const char* choose_system_directory(const char* config_variable) {
  return is_absolute(config_variable) ? config_variable : "/etc/Plim/";
}

const std::string* home_directory() {
  SearchDirectories& directories = cache();
  if (!directories.home_known) {
    directories.home_known = true;
    const char* home_variable = std::getenv("HOME");
    const char* password_directory = nullptr;
    // The password database is consulted only when HOME does not serve.
    if (!is_absolute(home_variable)) {
      if (const passwd* entry = getpwuid(getuid())) password_directory = entry->pw_dir;
    }
    if (const char* home = choose_home_directory(home_variable, password_directory)) {
      directories.home = home;
    }
  }
  return directories.home ? &*directories.home : nullptr;
}

const std::string& system_directory() {
  SearchDirectories& directories = cache();
  if (!directories.system) {
    directories.system = choose_system_directory(std::getenv("PLIM_CONFIG_DIR"));
  }
  return *directories.system;
}

void forget_search_directories_for_testing() { cache() = SearchDirectories{}; }

}  // namespace profile
