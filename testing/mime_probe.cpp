// Drives the MIME registration from the command line, so that scenarios can
// run it as root or an ordinary user, on a full disk, and against another
// process racing an update:
//
//   mime_probe register [INSTALL_DIR]
//       register_mime_types with the settings of a run: root when the
//       effective user id is 0, the home directory from an absolute HOME.
//   mime_probe mailcap|system|personal PATH [INSTALL_DIR]
//       update_mailcap, update_system_mime_types or update_personal_mime_types
//       on PATH; exits with its result (0, or 1 for -1).
//   mime_probe race mailcap|system|personal PATH NAME TARGET
//       the same update, while "another process" replaces NAME with a
//       symbolic link to TARGET right after PATH has been moved aside.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/settings.h"
#include "mime/file_rewrite.h"
#include "mime/mime_registration.h"

using namespace plim;

namespace {

Settings settings;  // of a run as the probe's user; the install directory as given
const char* link_name = nullptr;
const char* link_target = nullptr;

void plant_link(const std::string&) {
  ::unlink(link_name);
  if (::symlink(link_target, link_name) != 0) std::perror("symlink");
}

int usage() {
  std::fputs(
      "usage: mime_probe register [INSTALL_DIR]\n"
      "       mime_probe mailcap|system|personal PATH [INSTALL_DIR]\n"
      "       mime_probe race mailcap|system|personal PATH NAME TARGET\n",
      stderr);
  return 2;
}

int update(const char* kind, const std::string& path) {
  int result = 0;
  if (std::strcmp(kind, "mailcap") == 0)
    result = update_mailcap(path, settings.install_dir);
  else if (std::strcmp(kind, "system") == 0)
    result = update_system_mime_types(path);
  else if (std::strcmp(kind, "personal") == 0)
    result = update_personal_mime_types(path);
  else
    return usage();
  return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  settings.is_root = ::geteuid() == 0;
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') settings.home_dir = home;
  if (command == "register" && argc <= 3) {
    if (argc == 3) settings.install_dir = argv[2];
    register_mime_types(settings);
    return 0;
  }
  if (command == "race" && argc == 6) {
    link_name = argv[4];
    link_target = argv[5];
    after_move_aside_for_testing = plant_link;
    return update(argv[2], argv[3]);
  }
  if (argc == 3 || argc == 4) {
    if (argc == 4) settings.install_dir = argv[3];
    return update(argv[1], argv[2]);
  }
  return usage();
}
