#include "installer/pending_steps.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "installer/console.h"
#include "installer/settings.h"

namespace {

void not_built(const char* step) { log_printf(stderr, "Pending:\t%s is not built yet\n", step); }

}  // namespace

int parse_command_line(int argc, char**) { return argc; }

void print_usage(const char*, int status) {
  not_built("usage");
  std::exit(status);
}

void set_prefix(std::optional<std::string> path) {
  settings.prefix = path;
  settings.vendor_dir.reset();
  settings.install_dir.reset();
  if (!path) return;
  settings.vendor_dir = *path + "/" + kVendorDirName;
  settings.install_dir = *settings.vendor_dir + "/" + kInstallDirName;
}

int enter_or_create_dir(const char* path, mode_t mode) {
  if (::chdir(path) == 0) return 0;
  if (::mkdir(path, mode) != 0 || ::chdir(path) != 0) return -1;
  return 0;
}

std::optional<std::string> ask_directory(const char*, const char*) {
  not_built("prefix question");
  return std::nullopt;
}

void write_settings(FILE*) { not_built("settings file"); }
void show_license() { not_built("licence pager"); }
void write_uninstaller() { not_built("uninstaller copy"); }
void unpack_license() { not_built("licence unpacking"); }
void unpack_archive() { not_built("archive unpacking"); }

int build_package(int, char**) {
  not_built("package building");
  return 1;
}


int uninstall_plugin() {
  not_built("uninstall");
  return 0;
}
void create_browser_links() { not_built("plug-in links"); }
void refresh_running_browsers() { not_built("browser refresh"); }
void register_mime_types() { not_built("MIME registration"); }
