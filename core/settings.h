#pragma once

#include <optional>
#include <string>

namespace plim {

// The run's mode: exactly one runs to the end of the process. Chosen by the
// program's name, else by the options and profiles.
enum class RunMode {
  kInstall,    // the default: installs, and offers to upgrade or remove an installation found
  kUpgrade,    // an installation found is upgraded without asking
  kUninstall,  // the installation the settings name is removed
  kExtract,    // the licence and the archive are unpacked into extract_dir
  kPackage,    // a package is built beside the program
  kList,       // the archive's members, as tar lists them
  kInfo,       // the package's version and members
  kCheck,      // whether the package is whole
};

// The run's mode and paths: read once from the command line and the profiles
// at start-up, then passed to each step that needs them. "none" and the empty
// text differ (an empty extract value still selects extract mode), hence
// optional strings.
struct Settings {
  RunMode mode = RunMode::kInstall;
  bool is_root = false;                      // the effective user id is 0
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

// The directory names below the prefix.
inline constexpr char kVendorDirName[] = "Fernhollow-Plim";
inline constexpr char kInstallDirName[] = "NetscapePlugin";

}  // namespace plim
