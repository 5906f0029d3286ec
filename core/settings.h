#pragma once

#include <optional>
#include <string>

// The one record through which the installer's steps share the run's mode and
// paths. Filled from the command line and the profiles at start-up; "none" and
// the empty text differ (an empty extract value still selects extract mode),
// hence optional strings.
struct Settings {
  bool is_root = false;                      // the effective user id is 0
  bool upgrade = false;                      // upgrade mode: an installation found is upgraded without asking
  bool uninstall = false;                    // uninstall mode
  bool package = false;                      // package mode
  bool list = false;                         // list mode: the archive's members, as tar lists them
  bool info = false;                         // info mode: the package's version and members
  bool check = false;                        // check mode: whether the package is whole
  bool accept_license = false;               // the licence is accepted by option, not paged
  std::optional<bool> mime_answer;           // the MIME question's answer given by option
  std::optional<bool> refresh_answer;        // the refresh question's answer given by option
  std::optional<std::string> extract_dir;    // absolute; set only in extract mode
  std::optional<std::string> prefix;         // absolute, one trailing slash removed
  std::optional<std::string> vendor_dir;     // prefix + "/Fernhollow-Plim"
  std::optional<std::string> install_dir;    // prefix + "/Fernhollow-Plim/NetscapePlugin"
  std::optional<std::string> license_file;   // the license setting (package mode)
  std::optional<std::string> version;        // the version setting when not empty (package mode)
  std::optional<std::string> netscape_path;  // colon-separated browser executables, absolute
  std::optional<std::string> mozilla_home;   // colon-separated browser homes, absolute
  std::optional<std::string> cwd;            // the start directory
  std::optional<std::string> home_dir;       // the user's home directory, absolute
  std::string default_prefix = "/opt";       // offered by the prefix question
  std::optional<std::string> settings_file;  // where the installed settings are written
};

extern Settings settings;

// The directory names below the prefix.
inline constexpr char kVendorDirName[] = "Fernhollow-Plim";
inline constexpr char kInstallDirName[] = "NetscapePlugin";
