#include "core/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/run_log.h"
#include "core/system_error.h"
#include "core/trusted_path.h"

namespace {

// From the first doubled slash on, every slash is followed by neither another
// slash nor a "./" step. Text before that slash stays as it is, so a lone
// "x/./y" keeps its dot.
std::string squeeze_slashes(std::string text) {
  std::size_t from = text.find("//");
  if (from == std::string::npos) return text;
  std::size_t out = from;
  std::size_t in = from;
  while (in < text.size()) {
    char c = text[in++];
    text[out++] = c;
    if (c != '/') continue;
    for (;;) {
      if (in < text.size() && text[in] == '/') {
        in += 1;
      } else if (in + 1 < text.size() && text[in] == '.' && text[in + 1] == '/') {
        in += 2;
      } else {
        break;
      }
    }
  }
  text.resize(out);
  return text;
}

using FileId = std::pair<dev_t, ino_t>;

// The directories this run made, by device and inode.
std::vector<FileId> created_dirs;

// The directory enter_trusted_dir entered, by its path and identity: entering
// it again by that path stays there instead of resolving the path anew.
std::optional<std::pair<std::string, FileId>> trusted_dir;

bool is_current_dir(const FileId& id) {
  struct stat st;
  return ::stat(".", &st) == 0 && FileId(st.st_dev, st.st_ino) == id;
}

// The message names the path after `what`: "Failed to created directory PATH".
int report_failure(const char* call, const char* what, const char* path) {
  report_system_error(call);
  std::fprintf(stderr, "%s %s\n", what, path);
  return -1;
}

int enter_reached(const UniqueFd& dir, const char* path, bool created) {
  struct stat st;
  if (!dir || ::fchdir(dir.get()) != 0 || ::fstat(dir.get(), &st) != 0) {
    // A directory that was there but cannot be entered is reported as the
    // attempt to make it fails.
    if (!created) errno = EEXIST;
    return report_failure(created ? "chdir" : "mkdir",
                          created ? "Failed to change to directory" : "Failed to created directory", path);
  }
  if (created) created_dirs.emplace_back(st.st_dev, st.st_ino);
  trusted_dir.emplace(path, FileId(st.st_dev, st.st_ino));
  return 0;
}

}  // namespace

std::string absolute_path(const std::string& path, const std::string& base) {
  if (!path.empty() && path[0] == '/') return path;
  return squeeze_slashes(base + "/" + path);
}

std::string current_directory() {
  std::string text(4096, '\0');
  while (::getcwd(text.data(), text.size()) == nullptr) {
    if (errno != ERANGE) {
      report_system_error("getcwd");
      log_puts("Error:\tFailed to get current directory\n", stderr);
      std::exit(1);
    }
    text.resize(text.size() + 4096);
  }
  text.resize(text.find('\0'));
  return text;
}

int enter_or_create_dir(const char* path, mode_t mode) {
  if (trusted_dir && trusted_dir->first == path && is_current_dir(trusted_dir->second)) return 0;
  if (::chdir(path) == 0) return 0;
  if (::mkdir(path, mode) != 0) {
    report_system_error("mkdir");
    std::fprintf(stderr, "Failed to created directory %s\n", path);
    return -1;
  }
  if (::chdir(path) != 0) {
    report_system_error("chdir");
    std::fprintf(stderr, "Failed to change to directory %s\n", path);
    return -1;
  }
  struct stat st;
  if (::stat(".", &st) == 0) created_dirs.emplace_back(st.st_dev, st.st_ino);
  return 0;
}

int enter_trusted_dir(const char* path, mode_t mode) {
  for (bool again = false;; again = true) {
    ReachedPath reached = reach_path(path, LastLink::follow);
    if (reached.refusal.empty() && reached.controller >= 0)
      reached.refusal = "controlled by user " + std::to_string(reached.controller);
    if (!reached.refusal.empty()) {
      report_refusal(path, reached);
      return -1;
    }
    if (!reached.dir) {
      errno = reached.error;
      return report_failure("mkdir", "Failed to created directory", path);
    }
    if (reached.name == ".") return enter_reached(reached.dir, path, false);
    if (::mkdirat(reached.dir.get(), reached.name.c_str(), mode) == 0) {
      UniqueFd made(
          ::openat(reached.dir.get(), reached.name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      return enter_reached(made, path, true);
    }
    // Made by someone else since the walk: what is there now is judged anew.
    if (errno != EEXIST || again) return report_failure("mkdir", "Failed to created directory", path);
  }
}

bool current_dir_created_by_run() {
  struct stat st;
  if (::stat(".", &st) != 0) return false;
  for (const FileId& id : created_dirs)
    if (id == FileId(st.st_dev, st.st_ino)) return true;
  return false;
}

std::string_view base_name(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string parent_directory(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string directory_of(const std::string& path) {
  if (path.size() <= 1) return "./";
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::optional<std::string> read_symlink(const char* path) {
  std::string target(4096, '\0');
  for (;;) {
    ssize_t length = ::readlink(path, target.data(), target.size());
    if (length <= 0) return std::nullopt;
    // A target that fills the whole buffer may have been cut short: grow and
    // read again until there is room to spare.
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() + 4096);
  }
}
