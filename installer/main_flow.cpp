#include "installer/main_flow.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "browser/browser_discovery.h"
#include "browser/browser_refresh.h"
#include "browser/plugin_links.h"
#include "browser/uninstall.h"
#include "core/browser_list.h"
#include "core/child_process.h"
#include "core/file_identity.h"
#include "core/install_dirs.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "core/trusted_path.h"
#include "installer/command_line.h"
#include "installer/install_layout.h"
#include "installer/package_inspection.h"
#include "installer/preset_answers.h"
#include "installer/screens.h"
#include "installer/settings_file.h"
#include "mime/mime_registration.h"
#include "package/exit_cleanup.h"
#include "package/extraction.h"
#include "package/package_builder.h"
#include "package/package_check.h"
#include "package/self_inspection.h"

namespace plim {

namespace {

// One run's values, made by run_installer and handed to each step: the
// program as started, its own package, the settings read from the command
// line and the profiles, and the browsers found.
struct Run {
  const char* program_path = "";
  PackageContents contents{};
  Settings settings;
  BrowserList browsers;
};

[[noreturn]] void exit_with_hint(const Run& run) {
  log_printf(stderr, "\nUse the command\n\t%s --help\nfor a listing of options\n", run.program_path);
  std::exit(1);
}

// Finds the running browsers, or checks that a listed one runs. Returns
// whether a running browser was seen.
bool discover_browsers(Run& run, int argc) {
  if (run.browsers.empty() && run.settings.netscape_path)
    log_printf(stderr, "Invalid:\tNetscape Executable %s\n", printable(*run.settings.netscape_path).c_str());
  if (!run.browsers.empty() && argc > 1) {
    log_line("Check:\tFor a running instance of Netscape");
    return find_running_browsers(run.browsers, run.contents, true);
  }
  log_line("Search:\tFor a running instance of Netscape");
  bool found = find_running_browsers(run.browsers, run.contents, false);
  if (run.browsers.empty()) {
    log_puts("Error:\tNetscape is not running\n", stderr);
    log_printf(stderr, "Please start netscape normally, and then execute '%s'\n", run.program_path);
    exit_with_hint(run);
  }
  return found;
}

// A known prefix whose installation belongs to someone else is dropped, so
// that the prefix question is asked.
void drop_foreign_prefix(Settings& settings) {
  struct stat st;
  if (!settings.install_dir || ::stat(settings.install_dir->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return;
  if (::stat(settings.install_dir->c_str(), &st) != 0) {
    report_system_error("stat");
    log_printf(stderr, "Failed:\tstat(%s)\n", settings.install_dir->c_str());
    set_prefix(settings, std::nullopt);
  } else if (st.st_uid != ::geteuid()) {
    log_printf(stderr, "Illegal Ownership:\tYou don't own %s\n", settings.install_dir->c_str());
    set_prefix(settings, std::nullopt);
  }
}

void settle_prefix(Run& run) {
  Settings& settings = run.settings;
  if (settings.prefix) return;
  set_prefix(settings, ask_directory(run.contents,
                                     "Where would you do you wish to install the Plim(tm) plugin.\n"
                                     "A subdirectory of ./Fernhollow-Plim will automatically be created.",
                                     settings.default_prefix.c_str()));
  if (!settings.prefix) {
    log_puts("No prefix directory\n", stderr);
    exit_with_hint(run);
  }
}

// What the run does with the installation it finds.
enum class Previous { kNone, kUpgrade, kLeave };

// The installation's lock, or the end of the run (status 1).
void lock_or_exit(InstallDirs& dirs) {
  if (dirs.lock()) return;
  dirs.discard();
  std::exit(1);
}

// At an existing installation the user chooses between upgrading, removing
// and leaving it alone; upgrade mode upgrades without asking. kLeave: the run
// is over, with `status`.
Previous offer_upgrade(Run& run, InstallDirs& dirs, int& status) {
  if (run.settings.mode == RunMode::kUpgrade) return Previous::kUpgrade;
  if (!dirs.installed()) return Previous::kNone;
  log_printf(stdout, "A previous installation of the plugin has been found at:\n\t%s\n",
             run.settings.install_dir->c_str());
  if (ask_yes_no(run.contents, "Do you wish to upgrade your plugin? (y/n) ")) return Previous::kUpgrade;
  status = 0;
  if (ask_yes_no(run.contents, "Do you wish to uninstall your plugin? (y/n) ")) {
    lock_or_exit(dirs);
    status = uninstall_plugin(run.settings, run.browsers, dirs, Announcement::kSilent);
  }
  return Previous::kLeave;
}

// The new tree, complete in its staging directory, takes the installation's
// place; the settings name it, the tree it replaced goes, and the browsers'
// links are made anew. Killed at any point from the swap on, the run leaves
// the new tree whole at the installation's place: the links name that place,
// not a tree, and are only out of it between their removal and creation.
void put_in_place(const Run& run, InstallDirs& dirs, Previous previous) {
  bool failed = false;
  bool replaced = dirs.swap_in(failed);
  InstallDirs::disarm_signal_cleanup();
  if (failed) {
    log_printf(stderr, "Error:\tFailed to put the new tree in place at %s\n",
               printable(dirs.install_path()).c_str());
    std::exit(1);
  }
  write_settings(run.contents, run.settings, run.browsers, nullptr);
  if (replaced) {
    dirs.remove_replaced();
    if (previous == Previous::kUpgrade) announce_uninstalled(run.settings);
  }
  log_line("Remove:\tNetscape Links");
  remove_browser_links(run.settings, run.browsers);
  create_browser_links(run.settings, run.browsers);
}

// The browsers the settings name (executables paired with homes, or the
// homes alone scanned) join the list before the running ones are looked for.
void identify_named_browsers(Run& run) {
  const Settings& settings = run.settings;
  if (settings.netscape_path)
    add_browsers_from_lists(run.browsers, run.contents, *settings.netscape_path, settings.mozilla_home);
  else if (settings.mozilla_home)
    scan_browser_directory(run.browsers, run.contents, *settings.mozilla_home);
}

// After the swap: the MIME files and the running browsers, each as the
// person (or the option) answers.
void offer_registration(const Run& run, bool browser_running) {
  const Settings& settings = run.settings;
  if (answer_yes_no(run.contents, settings.mime_answer, "mime",
                    "Do you wish to update all mime.types and mailcap files? (y/n) "))
    register_mime_types(settings);
  if (browser_running &&
      answer_yes_no(run.contents, settings.refresh_answer, "refresh",
                    "Do you wish to refresh the plugin lists for running browsers? (y/n) ")) {
    refresh_running_browsers(settings, run.browsers);
    log_line(
        "\n\nNote: The Netscape Refresh doesn't reload mime.types and malcap files.\n"
        "If after several reloads Plim files still fail to open in the plugin, you will\n"
        "have to exit Netscape and restart your browser.");
  }
}

int run_install(Run& run, int argc) {
  const PackageContents& contents = run.contents;
  // Named browsers are identified before the package is judged: a damaged
  // package's run has always said what it found first.
  identify_named_browsers(run);
  require_whole_package(contents, run.program_path);
  bool browser_running = discover_browsers(run, argc);
  drop_foreign_prefix(run.settings);
  settle_prefix(run);
  InstallDirs dirs = InstallDirs::resolve(*run.settings.prefix);
  if (!dirs.ok()) return 1;
  int status = 0;
  Previous previous = offer_upgrade(run, dirs, status);
  if (previous == Previous::kLeave) return status;

  if (!dirs.create()) {
    dirs.discard();
    exit_with_hint(run);
  }
  lock_or_exit(dirs);
  // Whatever ends the run before the swap takes what it made along: the
  // installation it found stays as it was.
  ExitCleanup undo;
  undo.undo([&dirs] { dirs.discard(); });
  UniqueFd staged = dirs.stage();
  if (!staged) {
    dirs.discard();
    exit_with_hint(run);
  }
  dirs.arm_signal_cleanup();
  const MemberTarget target{
      .dir_fd = staged.get(), .dir = dirs.install_path(), .dir_is_new = true, .installers_own = true};

  show_banner(contents);
  write_settings(contents, run.settings, run.browsers, stdout);
  if (!license_accepted(contents, run.settings, target)) {
    InstallDirs::disarm_signal_cleanup();
    dirs.discard();
    show_banner(contents);
    log_line("Please delete this software.\n");
    return 1;
  }

  write_uninstaller(contents, target);
  unpack_license(contents, target);
  unpack_archive(contents, target);
  put_in_place(run, dirs, previous);
  offer_registration(run, browser_running);
  return 0;
}

// Uninstall mode. Nothing installed is said in one line and is no failure,
// so that removing twice stays harmless.
int run_uninstall(Run& run) {
  const Settings& settings = run.settings;
  std::optional<InstallDirs> dirs;
  if (settings.prefix) {
    dirs.emplace(InstallDirs::resolve(*settings.prefix));
    if (!dirs->ok()) return 1;
  }
  if (!dirs || !dirs->installed()) {
    if (settings.install_dir)
      log_printf(stdout, "Plim is not installed at %s: nothing to uninstall.\n",
                 printable(*settings.install_dir).c_str());
    else
      log_puts("Plim is not installed: nothing to uninstall.\n", stdout);
    return 0;
  }
  lock_or_exit(*dirs);
  return uninstall_plugin(settings, run.browsers, *dirs, Announcement::kUninstalled);
}

// Unpacks into the extract directory with the installer's own ids.
int extract_here(const Run& run) {
  const std::string& extract_dir = *run.settings.extract_dir;
  // tar and gunzip work there as root: the directory must stay what it is.
  HeldDir dir = open_trusted_dir(extract_dir.c_str(), kNewDirMode);
  if (!dir.fd) return -1;
  const MemberTarget extract_target{
      .dir_fd = dir.fd.get(), .dir = extract_dir, .dir_is_new = dir.created, .installers_own = false};
  unpack_license(run.contents, extract_target);
  unpack_archive(run.contents, extract_target);
  return 0;
}

// Root extracting where one ordinary user controls the way: that user's
// directory, that user's files. A child that has become the user (clean, as
// a refreshed browser is) does the whole extraction from the package root
// mapped, so no file of root's is left there and the kernel judges every
// step as that user.
int extract_as(const Run& run, int uid) {
  ChildSpec extraction;
  extraction.argv = {"tar"};
  extraction.run_as_uid = uid;
  extraction.time_limit = std::chrono::hours(1);
  extraction.output_limit = std::size_t{16} << 20;  // a listing of many thousand members
  extraction.body = [&run] { return extract_here(run) < 0 ? 255 : 0; };
  ChildEnd end = run_child_to_end(extraction);
  if (end.status == -1 || !WIFEXITED(end.status)) return 1;
  return WEXITSTATUS(end.status) == 255 ? -1 : WEXITSTATUS(end.status);
}

// Extract mode: the licence and the archive unpacked into extract_dir.
// Returns 0, or the negative result of entering the directory (status 255).
int run_extract(const Run& run) {
  const std::string& extract_dir = *run.settings.extract_dir;
  log_printf(stdout, "chdir:\t%s\n", extract_dir.c_str());
  if (!run.settings.is_root) return extract_here(run);
  ReachedPath way = reach_path(extract_dir, LastLink::kFollow);
  if (!way.refusal.empty()) {
    way.refusal += "; extract into a directory that one user controls, or only root";
    report_refusal(extract_dir, way);
    return -1;
  }
  return way.controller >= 0 ? extract_as(run, way.controller) : extract_here(run);
}

// The run log beside a package in a user's directory is that user's: root
// creates or truncates it as the user who controls the directory, and keeps
// none where two users or every user could rearrange it.
void open_run_log_as_owner(const char* program) {
  if (::geteuid() != 0) return open_run_log(program);
  ReachedPath dir = reach_path(parent_directory(std::string(program)), LastLink::kFollow);
  if (!dir.dir) return;
  FileIdentity as_owner(static_cast<uid_t>(dir.controller));
  if (as_owner) open_run_log(program);
}

}  // namespace

int run_installer(int argc, char** argv) {
  Run run;
  run.program_path = argc > 0 ? argv[0] : "";
  open_run_log_as_owner(run.program_path);
  inspect_own_package(run.program_path, run.contents);

  int first_unused = parse_command_line(argc, argv, run.settings);
  const RunMode mode = run.settings.mode;
  if (first_unused != argc && mode != RunMode::kPackage) {
    log_printf(stderr, "Error:\tUnrecognized option: %s\n", argv[first_unused]);
    print_usage(run.program_path, 1);
  }
  switch (mode) {
    case RunMode::kExtract:
      return run_extract(run);
    case RunMode::kPackage:
      return build_package(run.contents, run.settings, argc, argv);
    case RunMode::kList:
    case RunMode::kInfo:
    case RunMode::kCheck:
      return run_package_inspection(run.contents, mode, run.program_path);
    case RunMode::kUninstall:
    case RunMode::kInstall:
    case RunMode::kUpgrade:
      break;
  }
  if (::chdir("/") != 0) exit_on_system_error("chdir");
  if (mode == RunMode::kUninstall) return run_uninstall(run);
  return run_install(run, argc);
}

}  // namespace plim
