#include "installer/install_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "installer/console.h"
#include "installer/grow_buffer.h"
#include "installer/settings.h"
#include "installer/system_error.h"

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

// How many characters absolute_path puts in front of a relative path.
std::size_t base_prefix_length(const std::string& base) { return absolute_path("", base).size(); }

// The rejected answer is shown without its line end.
std::string without_line_end(std::string answer) {
  if (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return answer;
}

// An answer naming a directory that exists, or one the user lets us create.
bool usable_directory(const std::string& candidate) {
  struct stat st;
  if (::stat(candidate.c_str(), &st) != 0) {
    if (!ask_yes_no("Create Directory? (y/n) ")) return false;
    if (::mkdir(candidate.c_str(), kNewDirMode) != 0) {
      report_system_error("mkdir");
      return false;
    }
    if (::stat(candidate.c_str(), &st) != 0) {
      report_system_error("stat");
      return false;
    }
  }
  if (S_ISDIR(st.st_mode)) return true;
  std::fprintf(stderr, "%s is not a directory\n", candidate.c_str());
  return false;
}

}  // namespace

void set_prefix(std::optional<std::string> path) {
  settings.prefix = std::move(path);
  settings.vendor_dir.reset();
  settings.install_dir.reset();
  if (!settings.prefix) return;

  std::string& prefix = *settings.prefix;
  // The root directory keeps its slash: without it the prefix would be empty
  // and could never be entered.
  if (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  std::string joint = prefix == "/" ? "" : prefix;
  settings.vendor_dir = joint + "/" + kVendorDirName;
  settings.install_dir = joint + "/" + kVendorDirName + "/" + kInstallDirName;
}

std::string absolute_path(const std::string& path, const std::string& base) {
  if (!path.empty() && path[0] == '/') return path;
  return squeeze_slashes(base + "/" + path);
}

std::string absolute_path_list(const std::string& list, const std::string& base) {
  bool first_is_relative = list.empty() || list[0] != '/';
  std::string result = absolute_path(list, base);
  // The search for separators starts behind the base we put in front, so a
  // colon in the start directory's own name is never taken for one (that
  // would prepend the base again and again, without end).
  std::size_t colon = result.find(':', first_is_relative ? base_prefix_length(base) : 0);
  while (colon != std::string::npos) {
    std::size_t element = colon + 1;
    std::size_t next_search = element;
    if (element < result.size() && result[element] != '/') {
      result = result.substr(0, element) + absolute_path(result.substr(element), base);
      next_search = element + base_prefix_length(base);
    }
    colon = result.find(':', next_search);
  }
  return result;
}

const char* current_directory() {
  static GrowBuffer buffer;
  char* text = buffer.data() ? buffer.data() : buffer.reserve(4096);
  text[0] = '\0';
  while (::getcwd(text, buffer.capacity()) == nullptr) {
    if (errno != ERANGE) {
      report_system_error("getcwd");
      log_puts("Error:\tFailed to get current directory\n", stderr);
      std::exit(1);
    }
    text = buffer.reserve(buffer.capacity() + 4096);
  }
  return text;
}

int enter_or_create_dir(const char* path, mode_t mode) {
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
  return 0;
}

std::optional<std::string> ask_directory(const char* question, const char* default_path) {
  std::optional<std::string> rejected;
  for (;;) {
    show_banner();
    if (rejected) log_printf(stderr, "Error:\tInvalid directory '%s'\n\n", rejected->c_str());
    std::printf("%s\n[%s] : ", question, default_path);
    std::fflush(stdout);

    const char* line = read_line(stdin);
    if (!line) return std::nullopt;
    // The line buffer is reused by the y/n question below.
    std::string answer = without_line_end(line);
    if (answer.empty() && line[0] == '\n') return std::string(default_path);
    if (answer[0] == '/' && usable_directory(answer)) return answer;
    rejected = answer;
  }
}
