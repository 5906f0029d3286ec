// The walk over the running processes in /proc: every process whose
// executable is a browser is added (search), or the first one that runs a
// listed browser is marked (check).

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "browser/browser_discovery.h"
#include "browser/home_users.h"
#include "browser/proc_environ.h"
#include "core/blank.h"
#include "core/browser_list.h"
#include "core/dir_handle.h"
#include "core/paths.h"
#include "core/run_log.h"
#include "core/system_error.h"
#include "core/trusted_path.h"

namespace plim {

namespace {

constexpr char kProcRoot[] = "/proc";
// Far above any real command line or environment; a process can make its own
// as long as it likes, and root reads them for every process.
constexpr std::size_t kLongestCmdline = std::size_t{64} * 1024;
constexpr std::size_t kLongestEnviron = std::size_t{1024} * 1024;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The program a process runs by its command line, for when its exe link
// names no file (the executable was replaced or removed since it started).
// The first string is cut at white space until it names an existing file, so
// "/opt/ns/netscape -geometry 800x600" given as one string still leads to
// /opt/ns/netscape. Empty when nothing is left.
std::string program_by_command_line(const std::string& process_dir, struct stat* status) {
  std::optional<std::string> cmdline = read_small_file((process_dir + "/cmdline").c_str(), kLongestCmdline);
  if (!cmdline || cmdline->empty()) return {};
  std::string path = cmdline->substr(0, cmdline->find('\0'));
  if (!path.empty() && path.back() == '\n') path.pop_back();
  while (!path.empty() && ::stat(path.c_str(), status) != 0) {
    std::string::size_type cut = path.size();
    while (cut > 0 && !is_blank(path[cut - 1])) --cut;
    path.resize(cut > 0 ? cut - 1 : 0);
  }
  return path;
}

// One walk over /proc, adding to or marking in `list`.
class ProcWalk {
 public:
  ProcWalk(BrowserList& list, const PackageContents& own) : list_(list), own_(own) {}

  // Looks at one process. Returns true when the check (mark_only) found a
  // running listed browser and the walk should stop.
  bool visit(const char* pid_name, bool mark_only);

 private:
  // A browser and a user for whom root refused its home: that user's further
  // processes running it are passed over without identifying it again.
  struct RefusedRun {
    dev_t device;
    ino_t inode;
    int runner;
  };

  bool add_by_command_line(const std::string& program, std::optional<std::string_view> home, int owner,
                           struct stat* exe_status);
  bool was_refused(const struct stat& exe_status, int runner) const;
  void forget_refused(const struct stat& exe_status);
  void judge_runner(const struct stat& exe_status, int runner);
  void note_home_chooser(const struct stat& exe_status, const std::optional<std::string>& home, int owner);

  BrowserList& list_;
  const PackageContents& own_;
  std::vector<RefusedRun> refused_runs_;
};

// Adds a browser that only a command line named, and marks it when this
// process is what gave it its owner. Returns whether it was appended.
bool ProcWalk::add_by_command_line(const std::string& program, std::optional<std::string_view> home,
                                   int owner, struct stat* exe_status) {
  const BrowserEntry* known = find_browser(list_, *exe_status);
  bool had_owner = known && known->owner_uid != -1;
  std::size_t others = known ? known->other_owners.size() : 0;
  bool appended = add_browser_executable(list_, own_, program.c_str(), home, owner, exe_status);
  BrowserEntry* entry = find_browser(list_, *exe_status);
  if (entry && !had_owner && entry->owner_uid == owner) entry->found_by_cmdline = true;
  if (entry && entry->other_owners.size() > others) entry->other_owners.back().found_by_cmdline = true;
  return appended;
}

bool ProcWalk::was_refused(const struct stat& exe_status, int runner) const {
  for (const RefusedRun& run : refused_runs_)
    if (run.device == exe_status.st_dev && run.inode == exe_status.st_ino && run.runner == runner)
      return true;
  return false;
}

// A browser refused for the user who ran it first is identified afresh for
// another user's process: alice running her own browser makes it hers to be
// served even after bob ran it from her directory. Root never acted on the
// refused entry, so it simply goes.
void ProcWalk::forget_refused(const struct stat& exe_status) {
  BrowserEntry* known = find_browser(list_, exe_status);
  if (known && known->home_refused) list_.erase(list_.begin() + (known - list_.data()));
}

// The browser just appended for `runner`'s process: when the way to its
// home lies in a third user's hands, root does nothing there.
void ProcWalk::judge_runner(const struct stat& exe_status, int runner) {
  std::optional<ForeignWay> foreign = foreign_way(list_.back(), runner);
  if (!foreign) return;
  ReachedPath refused;
  refused.refusal = std::move(foreign->reason);
  report_refusal(foreign->path, refused);
  list_.back().home_refused = true;
  refused_runs_.push_back({exe_status.st_dev, exe_status.st_ino, runner});
}

// A home that an ordinary user's process named in MOZILLA_HOME is that user's
// to write into, not root's, also when the entry came from a list (the
// settings file of an earlier run records such homes).
void ProcWalk::note_home_chooser(const struct stat& exe_status, const std::optional<std::string>& home,
                                 int owner) {
  if (!home || owner == 0) return;
  for (BrowserEntry& entry : list_)
    if (entry.is(exe_status) && entry.browser_home == *home) entry.home_chosen_by = owner;
}

bool ProcWalk::visit(const char* pid_name, bool mark_only) {
  std::string process_dir = std::string(kProcRoot) + "/" + pid_name;
  std::optional<std::string> process_status = read_small_file((process_dir + "/status").c_str(), 8192);
  if (!process_status) return false;  // gone already
  int owner = real_uid_in_status(*process_status);
  if (owner < 0) return false;

  std::optional<std::string> link = read_symlink((process_dir + "/exe").c_str());
  if (!link) return false;  // not ours to read, a kernel thread, or gone
  const std::string& exe = *link;

  if (mark_only) return mark_running_instance(list_, exe.c_str(), owner, nullptr);

  std::optional<std::string> home;
  std::string environ_path = process_dir + "/environ";
  if (std::optional<std::string> environ = read_small_file(environ_path.c_str(), kLongestEnviron))
    home = mozilla_home_in_environ(*environ);
  std::optional<std::string_view> home_view;
  if (home) home_view = *home;
  struct stat exe_status;
  std::string program;  // set when only the command line names the executable
  if (::stat(exe.c_str(), &exe_status) != 0) {
    program = program_by_command_line(process_dir, &exe_status);
    if (program.empty()) return false;
  }
  if (was_refused(exe_status, owner)) return false;
  forget_refused(exe_status);
  bool appended = program.empty()
                      ? add_browser_executable(list_, own_, exe.c_str(), home_view, owner, &exe_status)
                      : add_by_command_line(program, home_view, owner, &exe_status);
  note_home_chooser(exe_status, home, owner);
  if (appended) judge_runner(exe_status, owner);
  return false;
}

}  // namespace

bool find_running_browsers(BrowserList& list, const PackageContents& own, bool mark_only) {
  UniqueDir proc(::opendir(kProcRoot));
  if (!proc) {
    report_system_error("opendir");
    log_printf(stderr, "Error:\tThe proc filesystem must be mounted as %s\n", kProcRoot);
    return false;
  }
  ProcWalk walk(list, own);
  while (const struct dirent* entry = ::readdir(proc.get())) {
    if (!is_digit(entry->d_name[0])) continue;
    if (walk.visit(entry->d_name, mark_only)) return true;
  }
  return mark_only ? false : !list.empty();
}

}  // namespace plim
