#include "installer/command_line.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "installer/install_layout.h"
#include "installer/option_table.h"
#include "installer/preset_answers.h"
#include "package/build_usage.h"
#include "profile/profile_config.h"

namespace plim {

using profile::OptionSpec;
using profile::ProfileConfig;
using profile::ProfileConfigPtr;

namespace {

constexpr char kProfile[] = "plugin";

std::optional<std::string> value_of(const ProfileConfig& config, const char* name) {
  const char* value = config.get_string(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

bool set_and_not_empty(const std::optional<std::string>& value) { return value && !value->empty(); }

// The library's messages carry no line end; each goes on a line of its own.
void report_messages_and_exit(ProfileConfig& config, const char* program_path) {
  if (!config.has_messages()) return;
  while (const char* message = config.next_message()) {
    log_puts(message, stderr);
    log_puts("\n", stderr);
  }
  print_usage(program_path, 1);
}

// Where the installed settings go: the named config file, or the profile's
// system file for root and personal file for everyone else.
std::optional<std::string> default_settings_file(ProfileConfig& config, const Settings& settings) {
  const char* path = config.profile_file_path(kProfile, settings.is_root ? 1 : 0);
  if (!path) return std::nullopt;
  return absolute_path(path, *settings.cwd);
}

// The browsers named by the settings; the install flow identifies them.
void take_browser_settings(const ProfileConfig& mode, Settings& settings) {
  auto mozilla = value_of(mode, "mozilla");
  auto netscape = value_of(mode, "netscape");
  if (set_and_not_empty(mozilla)) settings.mozilla_home = absolute_path_list(*mozilla, *settings.cwd);
  if (set_and_not_empty(netscape)) settings.netscape_path = absolute_path_list(*netscape, *settings.cwd);
}

void take_prefix(const ProfileConfig& mode, Settings& settings) {
  auto prefix = value_of(mode, "prefix");
  if (set_and_not_empty(prefix)) set_prefix(settings, absolute_path(*prefix, *settings.cwd));
}

// The answers given by option (install and upgrade modes only: elsewhere a
// profile's values for them mean nothing). A value other than yes or no is
// an option error.
void take_preset_answers(const ProfileConfig& mode, const char* program_path, Settings& settings) {
  settings.accept_license = mode.get_flag("accept-license", 0);
  for (auto [name, answer] :
       {std::pair{"mime", &settings.mime_answer}, {"refresh", &settings.refresh_answer}}) {
    auto value = value_of(mode, name);
    if (!value) continue;
    *answer = parse_yes_no(*value);
    if (*answer) continue;
    log_printf(stderr, "Error:\t--%s takes yes or no, not %s\n", name, printable(*value).c_str());
    print_usage(program_path, 1);
  }
}

}  // namespace

void print_usage(const char* program_path, int status) {
  const char* program_name = base_name(program_path).data();  // a suffix, so NUL-terminated
  const char* p = program_path;
  // The run log only notes that the usage was shown; the text is for the terminal.
  log_puts("Print:\tusage instructions\n", nullptr);
  if (std::strcmp(program_name, "package") == 0) print_build_usage(program_path);

  std::fflush(stdout);  // what standard output holds goes first, also into a shared file

  std::fprintf(stderr, "Usage:\n\t%s --%s\n", p, "help");
  if (std::strcmp(program_name, "uninstall") == 0) {
    std::fprintf(stderr, "-or-\t%s [--%s=filename] [--%s]\n", p, "config", "quiet");
  } else {
    std::fprintf(stderr, "-or-\t%s --%s=pathname [--%s=filename] [--%s]\n", p, "extract", "config", "quiet");
    std::fprintf(stderr, "-or-\t%s --%s [--%s=filename] [--%s]\n", p, "uninstall", "config", "quiet");
    std::fprintf(stderr, "-or-\t%s --%s [--%s=filename] [--%s]\n", p, "upgrade", "config", "quiet");
    std::fprintf(stderr, "-or-\t%s [--%s=filename] [--%s] [--%s=filename] [--%s=filename]\n", p, "config",
                 "quiet", "netscape", "mozilla");
    std::fprintf(stderr, "-or-\t%s --%s | --%s | --%s\n", p, "list", "info", "check");
  }
  std::fprintf(stderr,
               "Usage:\n\t%s [--%s] [--%s] [--%s]\n\t\t[--%s=pathname] [--%s=pathname] [--%s=filename]\n", p,
               "help", "upgrade", "uninstall", "extract", "prefix", "config");
  std::fprintf(stderr, "\t\t[--%s] [--%s=yes|no] [--%s=yes|no]\n", "accept-license", "mime", "refresh");
  std::fprintf(stderr, "Examples:\n\t%s --%s=/opt\n", p, "prefix");
  std::fprintf(stderr, "\t%s --%s=/usr/local\n", p, "prefix");
  std::fprintf(stderr, "\t%s --%s\n", p, "extract");
  std::fprintf(stderr, "\t%s --%s=/opt --%s --%s=yes --%s=no\n", p, "prefix", "accept-license", "mime",
               "refresh");
  std::exit(status);
}

int parse_command_line(int argc, char** argv, Settings& settings) {
  const char* program_path = argc > 0 ? argv[0] : "";
  const char* program_name = base_name(program_path).data();  // a suffix, so NUL-terminated

  const std::vector<OptionSpec> all_options = first_pass_options();
  ProfileConfigPtr first(ProfileConfig::create(kProfile));
  first->parse_options(argc, argv, all_options.data());
  log_line("Parse:\tconfig files and options\n");
  if (first->get_flag("help", 0)) print_usage(program_path, 0);

  settings = Settings{};
  settings.cwd = current_directory();
  settings.is_root = ::geteuid() == 0;
  if (const char* home = first->profile_file_path(kProfile, -1)) {
    settings.home_dir = absolute_path(home, *settings.cwd);
    if (!settings.is_root) settings.default_prefix = *settings.home_dir;
  }

  ProfileConfigPtr profile;
  auto config_file = value_of(*first, "config");
  if (set_and_not_empty(config_file)) {
    settings.settings_file = absolute_path(*config_file, *settings.cwd);
    profile.reset(ProfileConfig::create_from_file(*config_file, kProfile));
    first.reset();
    profile->parse_options(argc, argv, all_options.data());
  } else {
    settings.settings_file = default_settings_file(*first, settings);
    profile = std::move(first);
  }
  report_messages_and_exit(*profile, program_path);

  ProfileConfigPtr mode(ProfileConfig::clone(profile.get()));
  settings.mode = choose_mode(program_name, *profile);
  if (settings.mode == RunMode::kExtract)
    settings.extract_dir = absolute_path(*value_of(*profile, "extract"), *settings.cwd);
  const std::vector<OptionSpec> mode_table = mode_options(settings.mode);
  int first_unused = mode->parse_options(argc, argv, mode_table.data());
  profile.reset();
  report_messages_and_exit(*mode, program_path);

  switch (settings.mode) {
    case RunMode::kInstall:
    case RunMode::kUpgrade:
      take_prefix(*mode, settings);
      take_browser_settings(*mode, settings);
      take_preset_answers(*mode, program_path, settings);
      break;
    case RunMode::kUninstall:
      take_prefix(*mode, settings);
      take_browser_settings(*mode, settings);
      break;
    case RunMode::kPackage:
      take_prefix(*mode, settings);
      break;
    case RunMode::kExtract:
    case RunMode::kList:
    case RunMode::kInfo:
    case RunMode::kCheck:
      break;
  }

  auto version = value_of(*mode, "version");
  if (set_and_not_empty(version)) settings.version = version;
  settings.license_file = value_of(*mode, "license");
  return first_unused;
}

}  // namespace plim
