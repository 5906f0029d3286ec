#include "installer/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/browser_list.h"
#include "core/package_contents.h"
#include "core/paths.h"
#include "core/printable.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "core/system_error.h"
#include "installer/install_layout.h"
#include "installer/version_text.h"

namespace plim {

namespace {

// A first installation finds no personal configuration directory yet; without
// it the uninstaller would never learn where the plug-in went.
void create_missing_directory_of(const std::string& path) {
  std::string dir = parent_directory(path);
  if (dir == "." || dir == "/") return;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0 || errno != ENOENT) return;
  if (::mkdir(dir.c_str(), kNewDirMode) != 0) report_system_error("mkdir");
}

// Created exclusively and without following links: a link planted under
// the temporary name is never written through.
FILE* open_new_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = ::fdopen(fd, "w");
  if (!file) {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
  return file;
}

// The file gets the value as it is; the screen and the run log get it made
// printable, since the paths may come from other users' processes or from a
// settings file someone else wrote.
void write_setting(FILE* stream, const char* name, const std::string& value, bool to_file) {
  std::string shown = printable(quote_setting(value));
  if (!to_file) {
    log_printf(stream, "%s=%s\n", name, shown.c_str());
    return;
  }
  log_printf(nullptr, "%s=%s\n", name, shown.c_str());
  std::fprintf(stream, "%s=%s\n", name, quote_setting(value).c_str());
}

void write_version_line(const PackageContents& contents, FILE* file) {
  log_printf(file, "%s='%s'\n", "version", version_text(contents.trailer, VersionForm::kSetting).c_str());
}

// The new settings are written under a temporary name and renamed over the
// old file, so that a reader (or a run killed meanwhile) finds either the old
// settings or the new ones whole, never a part or none.
void write_settings_file(const PackageContents& contents, const Settings& settings,
                         const BrowserList& browsers) {
  const std::string& path = *settings.settings_file;
  create_missing_directory_of(path);
  std::string temporary = path + ".new";
  ::unlink(temporary.c_str());  // left by a run that was killed
  FILE* file = open_new_file(temporary);
  if (!file) {
    report_system_error("fopen");
    log_printf(stderr, "Error:\tFailed to open %s\n", path.c_str());
    return;
  }
  log_printf(stdout, "Create:\t%s\n", path.c_str());
  if (!write_settings_lines(contents, settings, browsers, file)) {
    report_system_error("write");
    log_printf(stderr, "Error:\tFailed to write %s\n", path.c_str());
  } else if (::rename(temporary.c_str(), path.c_str()) != 0) {
    report_system_error("rename");
    log_printf(stderr, "Error:\tFailed to write %s\n", path.c_str());
  } else {
    return;
  }
  ::unlink(temporary.c_str());
}

}  // namespace

std::string quote_setting(std::string_view value) {
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'')
      quoted += "'\\''";
    else if (c == '\r')
      quoted += "'\\r'";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

std::optional<std::string> installed_license_name(const char* license_name) {
  if (!license_name) return std::nullopt;
  const char* dot = std::strrchr(license_name, '.');
  if (!dot) return std::nullopt;
  return std::string(license_name, dot);
}

// A browser whose home root refused is not recorded: a later run would take
// the recorded home for root's own choice.
static void write_browser_lines(const BrowserList& browsers, FILE* stream, bool to_file) {
  std::string executables, homes;
  bool first = true;
  for (const BrowserEntry& browser : browsers) {
    if (browser.home_refused) continue;
    if (!first) {
      executables += ':';
      homes += ':';
    }
    first = false;
    executables += browser.exe_path;
    homes += browser.browser_home;
  }
  if (first) return;
  write_setting(stream, "netscape", executables, to_file);
  write_setting(stream, "mozilla", homes, to_file);
}

bool write_settings_lines(const PackageContents& contents, const Settings& settings,
                          const BrowserList& browsers, FILE* file) {
  write_setting(file, "prefix", settings.prefix.value_or(""), true);
  write_browser_lines(browsers, file, true);
  write_version_line(contents, file);
  // The licence line documents the installed tree only; the run log has no use for it.
  if (std::optional<std::string> license = installed_license_name(contents.license_name))
    std::fprintf(file, "license=%s\n", quote_setting(*license).c_str());

  bool written = std::fflush(file) == 0 && !std::ferror(file);
  int saved = errno;
  bool closed = std::fclose(file) == 0;
  if (written && !closed) return false;
  errno = saved;
  return written;
}

void write_settings(const PackageContents& contents, const Settings& settings, const BrowserList& browsers,
                    FILE* stream) {
  if (!stream) {
    if (settings.settings_file) write_settings_file(contents, settings, browsers);
    return;
  }
  write_setting(stream, "prefix", settings.prefix.value_or(""), false);
  write_browser_lines(browsers, stream, false);
  log_putc('\n', stream);
}

}  // namespace plim
