#include "browser/proc_environ.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/blank.h"
#include "core/retry.h"
#include "core/unique_fd.h"

namespace plim {

namespace {

constexpr std::string_view kMozillaHomeAssignment = "MOZILLA_HOME=";
constexpr std::size_t kLongestValue = 1023;

}  // namespace

std::optional<std::string> mozilla_home_in_environ(std::string_view environment) {
  std::size_t at = 0;
  for (;;) {
    at = environment.find(kMozillaHomeAssignment, at);
    if (at == std::string_view::npos) return std::nullopt;
    at += kMozillaHomeAssignment.size();
    while (at < environment.size() && is_blank(environment[at])) ++at;
    std::size_t end = at;
    while (end < environment.size() && end - at < kLongestValue && !is_blank(environment[end])) ++end;
    std::string_view taken = environment.substr(at, end - at);
    std::string_view value = taken.substr(0, taken.find('\0'));
    if (!value.empty()) return std::string(value);
    at = end;
  }
}

std::optional<std::string> read_small_file(const char* path, std::size_t limit) {
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  std::string contents;
  char block[4096];
  for (;;) {
    std::size_t wanted = std::min(sizeof block, limit - contents.size());
    if (wanted == 0) return contents;
    ssize_t got = retry_on_eintr([&] { return ::read(fd.get(), block, wanted); });
    if (got == 0) return contents;
    if (got < 0) return std::nullopt;
    contents.append(block, static_cast<std::size_t>(got));
  }
}

int real_uid_in_status(std::string_view status) {
  constexpr std::string_view kUidLine = "\nUid:";
  std::size_t at = status.find(kUidLine);
  if (at == std::string_view::npos) return -1;
  at += kUidLine.size();
  while (at < status.size() && (status[at] == '\t' || status[at] == ' ')) ++at;
  std::size_t end = at;
  while (end < status.size() && status[end] >= '0' && status[end] <= '9') ++end;
  if (end == at || end - at > 10) return -1;
  long long uid = std::atoll(std::string(status.substr(at, end - at)).c_str());
  return uid > 0x7fffffff ? -1 : static_cast<int>(uid);
}

}  // namespace plim
