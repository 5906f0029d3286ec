#include "installer/main_flow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "browser/browser_discovery.h"
#include "browser/browser_refresh.h"
#include "browser/plugin_links.h"
#include "browser/uninstall.h"
#include "core/browser_list.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "installer/command_line.h"
#include "installer/install_layout.h"
#include "installer/package_inspection.h"
#include "installer/preset_answers.h"
#include "installer/screens.h"
#include "installer/settings_file.h"
#include "mime/mime_registration.h"
#include "package/extraction.h"
#include "package/package_builder.h"
#include "package/package_check.h"
#include "package/self_inspection.h"

namespace {

const char* program_path = "";

[[noreturn]] void exit_with_hint() {
  log_printf(stderr, "\nUse the command\n\t%s --help\nfor a listing of options\n", program_path);
  std::exit(1);
}

// Enters (creating one level where missing) the prefix, vendor and install
// directories; the first failure ends the run.
void enter_install_dirs() {
  for (const auto* dir : {&settings.prefix, &settings.vendor_dir, &settings.install_dir}) {
    if (enter_or_create_dir(dir->value().c_str(), kNewDirMode) < 0) exit_with_hint();
  }
}

bool install_dir_exists() { return settings.install_dir && ::chdir(settings.install_dir->c_str()) == 0; }

// Finds the running browsers, or checks that a listed one runs. Returns
// whether a running browser was seen.
bool discover_browsers(int argc) {
  if (browser_list.empty() && settings.netscape_path)
    log_printf(stderr, "Invalid:\tNetscape Executable %s\n", printable(*settings.netscape_path).c_str());
  if (!browser_list.empty() && argc > 1) {
    log_line("Check:\tFor a running instance of Netscape");
    return find_running_browsers(true);
  }
  log_line("Search:\tFor a running instance of Netscape");
  bool found = find_running_browsers(false);
  if (browser_list.empty()) {
    log_puts("Error:\tNetscape is not running\n", stderr);
    log_printf(stderr, "Please start netscape normally, and then execute '%s'\n", program_path);
    exit_with_hint();
  }
  return found;
}

// A known prefix whose installation belongs to someone else is dropped, so
// that the prefix question is asked.
void drop_foreign_prefix() {
  if (!install_dir_exists()) return;
  struct stat st;
  if (::stat(settings.install_dir->c_str(), &st) != 0) {
    report_system_error("stat");
    log_printf(stderr, "Failed:\tstat(%s)\n", settings.install_dir->c_str());
    set_prefix(std::nullopt);
  } else if (st.st_uid != ::geteuid()) {
    log_printf(stderr, "Illegal Ownership:\tYou don't own %s\n", settings.install_dir->c_str());
    set_prefix(std::nullopt);
  }
}

void settle_prefix() {
  if (settings.prefix) return;
  set_prefix(
      ask_directory("Where would you do you wish to install the Plim(tm) plugin.\n"
                    "A subdirectory of ./Fernhollow-Plim will automatically be created.",
                    settings.default_prefix.c_str()));
  if (!settings.prefix) {
    log_puts("No prefix directory\n", stderr);
    exit_with_hint();
  }
}

// What the run does with the installation it finds.
enum class Previous { kNone, kUpgrade, kLeave };

// At an existing installation the user chooses between upgrading, removing
// and leaving it alone; upgrade mode upgrades without asking. kLeave: the run
// is over (status 0).
Previous offer_upgrade() {
  if (settings.upgrade) return Previous::kUpgrade;
  if (!install_dir_exists()) return Previous::kNone;
  log_printf(stdout, "A previous installation of the plugin has been found at:\n\t%s\n",
             settings.install_dir->c_str());
  if (ask_yes_no("Do you wish to upgrade your plugin? (y/n) ")) return Previous::kUpgrade;
  if (ask_yes_no("Do you wish to uninstall your plugin? (y/n) ")) uninstall_plugin(Announcement::kSilent);
  return Previous::kLeave;
}

int run_install(int argc) {
  require_whole_package(program_path);
  bool browser_running = discover_browsers(argc);
  drop_foreign_prefix();
  settle_prefix();
  Previous previous = offer_upgrade();
  if (previous == Previous::kLeave) return 0;
  enter_install_dirs();

  show_banner();
  write_settings(stdout);
  const MemberTarget install_target{*settings.install_dir, true};
  if (!license_accepted(install_target)) {
    show_banner();
    log_line("Please delete this software.\n");
    return 1;
  }

  // A damaged package must not cost the user the installation they have.
  verify_package_members();
  uninstall_plugin(previous == Previous::kUpgrade ? Announcement::kUninstalled : Announcement::kSilent);
  enter_install_dirs();
  write_settings(nullptr);
  write_uninstaller(install_target);
  unpack_license(install_target);
  unpack_archive(install_target);
  create_browser_links();

  if (answer_yes_no(settings.mime_answer, "mime",
                    "Do you wish to update all mime.types and mailcap files? (y/n) "))
    register_mime_types();
  if (browser_running &&
      answer_yes_no(settings.refresh_answer, "refresh",
                    "Do you wish to refresh the plugin lists for running browsers? (y/n) ")) {
    refresh_running_browsers();
    log_line(
        "\n\nNote: The Netscape Refresh doesn't reload mime.types and malcap files.\n"
        "If after several reloads Plim files still fail to open in the plugin, you will\n"
        "have to exit Netscape and restart your browser.");
  }
  return 0;
}

}  // namespace

int run_extract() {
  log_printf(stdout, "chdir:\t%s\n", settings.extract_dir->c_str());
  // tar and gunzip work there as root: the directory must stay what it is.
  int entered = enter_trusted_dir(settings.extract_dir->c_str(), kNewDirMode);
  if (entered < 0) return entered;
  const MemberTarget extract_target{*settings.extract_dir, false};
  unpack_license(extract_target);
  unpack_archive(extract_target);
  return 0;
}

int run_installer(int argc, char** argv) {
  program_path = argc > 0 ? argv[0] : "";
  open_run_log(program_path);
  inspect_own_package(program_path);

  int first_unused = parse_command_line(argc, argv);
  if (first_unused != argc && !settings.package) {
    log_printf(stderr, "Error:\tUnrecognized option: %s\n", argv[first_unused]);
    print_usage(program_path, 1);
  }
  if (settings.extract_dir) return run_extract();
  if (settings.package) return build_package(argc, argv);
  if (inspection_requested()) return run_package_inspection(program_path);

  if (::chdir("/") != 0) exit_on_system_error("chdir");
  if (settings.uninstall) return uninstall_plugin(Announcement::kUninstalled);
  return run_install(argc);
}
