#include "installer/screens.h"

#include <sys/wait.h>

#include <cstring>

#include "core/blank.h"
#include "core/child_process.h"
#include "core/grow_buffer.h"
#include "core/package_contents.h"
#include "core/run_log.h"
#include "installer/version_text.h"

namespace plim {

namespace {

bool welcome_pending = true;

void print_version_box(const PackageContents& contents) {
  const PackageTrailer& t = contents.trailer;
  static const char rule[] =
      "+---------------------------------------------------------------------------+\n";
  // Centred for single-digit numbers; longer ones push the right edge out.
  const char* margin = is_beta(t) ? "        " : "             ";
  std::fputs(rule, stdout);
  std::printf("|%sP l i m   P l u g i n   V e r s i o n   %s%s|\n", margin,
              version_text(t, VersionForm::kSpaced).c_str(), margin);
  std::fputs(rule, stdout);
  std::fputs("\n", stdout);
}

// Without a working "clear", push the old screen away with blank lines.
constexpr char kClearFallback[] =
    "\f"
    "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"
    "\f\n"
    "\n";
static_assert(sizeof(kClearFallback) == 1 + 21 + 2 + 1 + 1);

}  // namespace

std::optional<std::string> read_line(FILE* in) {
  GrowBuffer line;
  char* text = line.reserve(4096);
  text[0] = '\0';
  if (!std::fgets(text, static_cast<int>(line.capacity()), in)) return std::nullopt;
  for (;;) {
    std::size_t length = std::strlen(text);
    if (length == 0 || text[length - 1] == '\n') return std::string(text, length);
    text = line.reserve(line.capacity() + 4096);
    if (!std::fgets(text + length, static_cast<int>(line.capacity() - length), in)) {
      text[length] = '\0';
      return std::string(text, length);
    }
  }
}

std::optional<std::string> wait_for_enter(const char* prompt) {
  std::fputs(prompt, stdout);
  std::fflush(stdout);
  return read_line(stdin);
}

bool ask_yes_no(const PackageContents& contents, const char* question) {
  for (;;) {
    show_banner(contents);
    std::fputs(question, stdout);
    std::fflush(stdout);
    std::optional<std::string> line = read_line(stdin);
    if (!line) return false;
    const char* answer = line->c_str();
    while (*answer && is_blank(*answer)) ++answer;
    if (*answer == 'y' || *answer == 'Y') return true;
    if (*answer == 'n' || *answer == 'N') return false;
  }
}

void show_banner(const PackageContents& contents) {
  log_puts("Print:\tbanner\n", nullptr);
  std::fputs("\f\n", stdout);

  ChildSpec clear;
  clear.argv = {"clear"};
  clear.exec_call = "execve";
  clear.exec_failure_text = nullptr;
  int status = run_child(clear);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1) std::fputs(kClearFallback, stdout);

  print_version_box(contents);
  if (welcome_pending) {
    welcome_pending = false;
    show_welcome(contents);
  }
}

void show_welcome(const PackageContents& contents) {
  const PackageTrailer& t = contents.trailer;
  log_puts("Print:\twelcome message\n", nullptr);
  std::fputs("                                W E L C O M E\n\n", stdout);
  std::fputs("                                 T O   T H E\n\n", stdout);
  std::fputs("                            P l i m   P l u g i n\n\n", stdout);
  const char* margin = is_beta(t) ? "                     " : "                          ";
  std::printf("%sV E R S I O N   %s\n\n", margin, version_text(t, VersionForm::kSpaced).c_str());
  std::fputs("                                    F O R\n\n", stdout);
  std::fputs("                                  L i n u x\n\n\n", stdout);
}

}  // namespace plim
