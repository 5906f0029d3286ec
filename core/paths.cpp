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

namespace plim {

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

// The message names the path after `what`: "Failed to created directory PATH".
int report_failure(const char* call, const char* what, const char* path) {
  report_system_error(call);
  std::fprintf(stderr, "%s %s\n", what, path);
  return -1;
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

HeldDir open_trusted_dir(const char* path, mode_t mode) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  HeldDir held;
  for (bool again = false;; again = true) {
    ReachedPath reached = reach_path(path, LastLink::kFollow);
    if (!reached.refused() && reached.controller >= 0)
      reached.refusal = "controlled by " + user_name(reached.controller);
    if (reached.refused()) {
      report_refusal(path, reached);
      return held;
    }
    if (reached.failed()) {
      errno = reached.error;
      report_failure("mkdir", "Failed to created directory", path);
      return held;
    }
    if (reached.name == ".") {
      held.fd.reset(::openat(reached.dir.get(), ".", kFlags));
      // A directory that was there but cannot be opened is reported as the
      // attempt to make it fails.
      if (!held.fd) {
        errno = EEXIST;
        report_failure("mkdir", "Failed to created directory", path);
      }
      return held;
    }
    if (::mkdirat(reached.dir.get(), reached.name.c_str(), mode) == 0) {
      held.fd.reset(::openat(reached.dir.get(), reached.name.c_str(), kFlags));
      held.created = true;
      if (!held.fd) report_failure("chdir", "Failed to change to directory", path);
      return held;
    }
    // Made by someone else since the walk: what is there now is judged anew.
    if (errno != EEXIST || again) {
      report_failure("mkdir", "Failed to created directory", path);
      return held;
    }
  }
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

}  // namespace plim
