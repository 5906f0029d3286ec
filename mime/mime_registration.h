#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/settings.h"

namespace plim {

class AccountGroups;

// Declares the plug-in's document types in the mailcap and mime.types files:
// earlier lines for the nine types go, fresh entries are appended. Root
// updates the system files and the personal files of every account; anyone
// else their own personal files.

// The system files, tried in this order; missing ones are passed over, and
// a symbolic link is followed to an absolute target only.
inline constexpr std::array<const char*, 6> kSystemMimeTypesFiles = {
    "/var/etc/httpd/mime.types", "/var/etc/mime.types",   "/usr/etc/httpd/mime.types",
    "/usr/etc/mime.types",       "/etc/httpd/mime.types", "/etc/mime.types"};
inline constexpr std::array<const char*, 3> kSystemMailcapFiles = {"/var/etc/mailcap", "/usr/etc/mailcap",
                                                                   "/etc/mailcap"};

// The whole update, from the run's settings (is_root, home_dir, install_dir).
void register_mime_types(const Settings& settings);

// The updates below take the file owners' groups from `accounts` when given
// (root reads every account's once, before the walk), else from the databases.

// home + "/.mailcap", then home + "/.mime.types".
void update_personal_files(const std::string& home, const std::optional<std::string>& install_dir,
                           const AccountGroups* accounts = nullptr);

// Each updates one file and returns 0, or -1 after reporting why; a missing
// mailcap or personal file is created, a missing system mime.types file is
// skipped without a message. The mailcap entries name the plug-in's files in
// `install_dir` (mailcap_entries).
int update_mailcap(const std::string& path, const std::optional<std::string>& install_dir,
                   const AccountGroups* accounts = nullptr);
int update_system_mime_types(const std::string& path, const AccountGroups* accounts = nullptr);
int update_personal_mime_types(const std::string& path, const AccountGroups* accounts = nullptr);

}  // namespace plim
