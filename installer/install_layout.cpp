#include "installer/install_layout.h"

#include <sys/stat.h>

#include <cstdio>

#include "core/paths.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "installer/screens.h"

namespace plim {

namespace {

// How many characters absolute_path puts in front of a relative path.
std::size_t base_prefix_length(const std::string& base) { return absolute_path("", base).size(); }

// The rejected answer is shown without its line end.
std::string without_line_end(std::string answer) {
  if (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return answer;
}

// An answer naming a directory that exists, or one the user lets us create.
bool usable_directory(const PackageContents& contents, const std::string& candidate) {
  struct stat st;
  if (::stat(candidate.c_str(), &st) != 0) {
    if (!ask_yes_no(contents, "Create Directory? (y/n) ")) return false;
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

void set_prefix(Settings& settings, std::optional<std::string> path) {
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

std::optional<std::string> ask_directory(const PackageContents& contents, const char* question,
                                         const char* default_path) {
  std::optional<std::string> rejected;
  for (;;) {
    show_banner(contents);
    if (rejected) log_printf(stderr, "Error:\tInvalid directory '%s'\n\n", rejected->c_str());
    std::printf("%s\n[%s] : ", question, default_path);
    std::fflush(stdout);

    std::optional<std::string> line = read_line(stdin);
    if (!line) return std::nullopt;
    std::string answer = without_line_end(*line);
    if (answer.empty() && (*line)[0] == '\n') return std::string(default_path);
    if (answer[0] == '/' && usable_directory(contents, answer)) return answer;
    rejected = answer;
  }
}

}  // namespace plim
