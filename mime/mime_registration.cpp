#include "mime/mime_registration.h"

#include <sys/stat.h>

#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "mime/account_groups.h"
#include "mime/file_rewrite.h"
#include "mime/mailcap_filter.h"
#include "mime/mime_types_filter.h"

namespace plim {

namespace {

// Updates each existing file of `paths`; a link only when it points to an
// absolute target, which is then updated in its own directory.
template <std::size_t N, typename Update>
void update_system_files(const std::array<const char*, N>& paths, const Update& update) {
  for (const char* path : paths) {
    struct stat st;
    if (::lstat(path, &st) != 0) continue;
    if (!S_ISLNK(st.st_mode)) {
      update(path);
    } else if (std::optional<std::string> target = read_symlink(path); target && target->starts_with('/')) {
      update(*target);
    }
  }
}

}  // namespace

int update_mailcap(const std::string& path, const std::optional<std::string>& install_dir,
                   const AccountGroups* accounts) {
  log_printf(stdout, "Update:\tmailcap file %s\n", printable(path).c_str());
  return rewrite_file(path, {".save", WhenMissing::kCreate, filter_mailcap}, mailcap_entries(install_dir),
                      accounts);
}

int update_system_mime_types(const std::string& path, const AccountGroups* accounts) {
  log_printf(stdout, "Update:\tmimetypes file %s\n", printable(path).c_str());
  return rewrite_file(path, {".save", WhenMissing::kSkip, filter_system_mime_types},
                      system_mime_types_entries(), accounts);
}

int update_personal_mime_types(const std::string& path, const AccountGroups* accounts) {
  log_printf(stdout, "Update:\tmimetypes file %s\n", printable(path).c_str());
  return rewrite_file(path, {"~", WhenMissing::kCreate, filter_personal_mime_types},
                      personal_mime_types_entries(), accounts);
}

void update_personal_files(const std::string& home, const std::optional<std::string>& install_dir,
                           const AccountGroups* accounts) {
  update_mailcap(home + "/.mailcap", install_dir, accounts);
  update_personal_mime_types(home + "/.mime.types", accounts);
}

void register_mime_types(const Settings& settings) {
  const std::optional<std::string>& install_dir = settings.install_dir;
  if (!settings.is_root) {
    if (settings.home_dir && !settings.home_dir->empty()) {
      update_personal_files(*settings.home_dir, install_dir);
    } else {
      log_puts("Error:\tNo home directory\n", stderr);
    }
    return;
  }
  // Read before any file is touched: taking on an identity must not look
  // users up in the middle of the walk over the password database.
  AccountGroups accounts = AccountGroups::read();
  update_system_files(kSystemMimeTypesFiles,
                      [&](const std::string& path) { update_system_mime_types(path, &accounts); });
  update_system_files(kSystemMailcapFiles,
                      [&](const std::string& path) { update_mailcap(path, install_dir, &accounts); });
  for (const std::string& home : accounts.homes()) {
    struct stat st;
    if (::stat(home.c_str(), &st) == 0) update_personal_files(home, install_dir, &accounts);
  }
}

}  // namespace plim
