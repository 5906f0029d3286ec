#include "installer/command_line.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "browser/browser_discovery.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "installer/install_layout.h"
#include "installer/preset_answers.h"
#include "package/build_usage.h"
#include "profile/profile_config.h"

namespace {

// The option tables: every mode accepts only its own options on the second
// pass. The letter n stands for both netscape and mozilla; the parser gives it
// to the first, netscape.
const OptionSpec all_options[] = {
    {"netscape", 1, nullptr, 'n'},     {"prefix", 1, nullptr, 'p'},  {"config", 1, nullptr, 'f'},
    {"mozilla", 1, nullptr, 'n'},      {"license", 1, nullptr, 'L'}, {"extract", 1, nullptr, 'x'},
    {"uninstall", 0, nullptr, 'u'},    {"upgrade", 0, nullptr, 'U'}, {"package", 0, nullptr, 'P'},
    {"help", 0, nullptr, 'h'},         {"install", 0, nullptr, 'i'}, {"quiet", 0, nullptr, 'v'},
    {"accept-license", 0, nullptr, 0}, {"mime", 1, nullptr, 0},      {"refresh", 1, nullptr, 0},
    {"list", 0, nullptr, 0},           {"info", 0, nullptr, 0},      {"check", 0, nullptr, 0},
    {nullptr, 0, nullptr, 0}};

// Install and upgrade also take the answers to their questions, so that a
// run can go without anyone at the terminal.
const OptionSpec install_options[] = {{"netscape", 1, nullptr, 'n'},     {"prefix", 1, nullptr, 'p'},
                                      {"config", 1, nullptr, 'f'},       {"mozilla", 1, nullptr, 'n'},
                                      {"install", 0, nullptr, 'i'},      {"quiet", 0, nullptr, 'v'},
                                      {"accept-license", 0, nullptr, 0}, {"mime", 1, nullptr, 0},
                                      {"refresh", 1, nullptr, 0},        {nullptr, 0, nullptr, 0}};

const OptionSpec upgrade_options[] = {{"config", 1, nullptr, 'f'}, {"upgrade", 0, nullptr, 'U'},
                                      {"quiet", 0, nullptr, 'v'},  {"accept-license", 0, nullptr, 0},
                                      {"mime", 1, nullptr, 0},     {"refresh", 1, nullptr, 0},
                                      {nullptr, 0, nullptr, 0}};

// The inspection modes only read the package.
const OptionSpec list_options[] = {
    {"list", 0, nullptr, 0}, {"quiet", 0, nullptr, 'v'}, {nullptr, 0, nullptr, 0}};
const OptionSpec info_options[] = {
    {"info", 0, nullptr, 0}, {"quiet", 0, nullptr, 'v'}, {nullptr, 0, nullptr, 0}};
const OptionSpec check_options[] = {
    {"check", 0, nullptr, 0}, {"quiet", 0, nullptr, 'v'}, {nullptr, 0, nullptr, 0}};

const OptionSpec extract_options[] = {{"extract", 1, nullptr, 'x'},
                                      {"upgrade", 0, nullptr, 'U'},
                                      {"quiet", 0, nullptr, 'v'},
                                      {nullptr, 0, nullptr, 0}};

const OptionSpec uninstall_options[] = {{"config", 1, nullptr, 'f'},
                                        {"uninstall", 0, nullptr, 'u'},
                                        {"quiet", 0, nullptr, 'v'},
                                        {nullptr, 0, nullptr, 0}};

const OptionSpec package_options[] = {{"license", 1, nullptr, 'L'}, {"prefix", 1, nullptr, 'p'},
                                      {"package", 0, nullptr, 'P'}, {"config", 1, nullptr, 'f'},
                                      {"quiet", 0, nullptr, 'v'},   {nullptr, 0, nullptr, 0}};

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
std::optional<std::string> default_settings_file(ProfileConfig& config) {
  const char* path = config.profile_file_path(kProfile, settings.is_root ? 1 : 0);
  if (!path) return std::nullopt;
  return absolute_path(path, *settings.cwd);
}

// Chooses the mode (the program's name wins over every option) and gives its
// option table.
const OptionSpec* choose_mode(const char* program_name, const ProfileConfig& config) {
  if (strcasecmp(program_name, "uninstall") == 0) {
    settings.uninstall = true;
    return uninstall_options;
  }
  if (strcasecmp(program_name, "package") == 0) {
    settings.package = true;
    return package_options;
  }
  if (config.get_flag("uninstall", 0)) {
    settings.uninstall = true;
    return uninstall_options;
  }
  if (config.get_flag("package", 0)) {
    settings.package = true;
    return package_options;
  }
  if (config.get_flag("list", 0)) {
    settings.list = true;
    return list_options;
  }
  if (config.get_flag("info", 0)) {
    settings.info = true;
    return info_options;
  }
  if (config.get_flag("check", 0)) {
    settings.check = true;
    return check_options;
  }
  if (auto extract = value_of(config, "extract")) {
    settings.extract_dir = absolute_path(*extract, *settings.cwd);
    return extract_options;
  }
  if (config.get_flag("upgrade", 0)) {
    settings.upgrade = true;
    return upgrade_options;
  }
  return install_options;
}

// The browsers named by the settings are identified now, before the search.
void take_browser_settings(const ProfileConfig& mode) {
  auto mozilla = value_of(mode, "mozilla");
  auto netscape = value_of(mode, "netscape");
  if (set_and_not_empty(mozilla)) settings.mozilla_home = absolute_path_list(*mozilla, *settings.cwd);
  if (set_and_not_empty(netscape)) {
    settings.netscape_path = absolute_path_list(*netscape, *settings.cwd);
    if (!settings.uninstall) add_browsers_from_lists(*settings.netscape_path, settings.mozilla_home);
  } else if (settings.mozilla_home && !settings.uninstall) {
    scan_browser_directory(*settings.mozilla_home);
  }
}

// The answers given by option (install and upgrade modes only: elsewhere a
// profile's values for them mean nothing). A value other than yes or no is
// an option error.
void take_preset_answers(const ProfileConfig& mode, const char* program_path) {
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

int parse_command_line(int argc, char** argv) {
  const char* program_path = argc > 0 ? argv[0] : "";
  const char* program_name = base_name(program_path).data();  // a suffix, so NUL-terminated

  ProfileConfigPtr first(ProfileConfig::create(kProfile));
  first->parse_options(argc, argv, all_options);
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
    profile->parse_options(argc, argv, all_options);
  } else {
    settings.settings_file = default_settings_file(*first);
    profile = std::move(first);
  }
  report_messages_and_exit(*profile, program_path);

  ProfileConfigPtr mode(ProfileConfig::clone(profile.get()));
  const OptionSpec* table = choose_mode(program_name, *profile);
  int first_unused = mode->parse_options(argc, argv, table);
  profile.reset();
  report_messages_and_exit(*mode, program_path);

  bool extracting = settings.extract_dir.has_value();
  bool inspecting = settings.list || settings.info || settings.check;
  if (!extracting) {
    auto prefix = value_of(*mode, "prefix");
    if (set_and_not_empty(prefix)) set_prefix(absolute_path(*prefix, *settings.cwd));
  }
  if (!extracting && !settings.package && !inspecting) take_browser_settings(*mode);
  if (table == install_options || table == upgrade_options) take_preset_answers(*mode, program_path);

  auto version = value_of(*mode, "version");
  if (set_and_not_empty(version)) settings.version = version;
  settings.license_file = value_of(*mode, "license");
  return first_unused;
}
