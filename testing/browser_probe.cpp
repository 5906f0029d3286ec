// Runs browser discovery as the end-to-end scenarios ask and prints what
// the browser list then holds, so that a scenario can assert it.
//
//   browser_probe [--own-signature] ACTION...
//
// ACTION is one of
//   --search            find_running_browsers(list, own, false)
//   --mark              find_running_browsers(list, own, true)
//   --lists EXES DIRS   add_browsers_from_lists; "-" stands for no list
//   --scan DIR          scan_browser_directory
//   --add PATH          add_browser_executable(PATH, no home, -1, no status)
// and prints "result<TAB>ACTION<TAB>0|1". At the end every entry is printed
// as "entry<TAB>exe<TAB>owner<TAB>libc<TAB>home<TAB>file", file being "same" when
// the entry's device and inode are those of the file now at exe, else "other"
// (the numbers themselves change from machine to machine).
//
// The probe reads its own file like the installer does, so as a bare
// executable it identifies nothing (its signature is zero). --own-signature
// takes the first four bytes of its own file as the signature instead, the
// value a packaged installer has.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "browser/browser_discovery.h"
#include "core/browser_list.h"
#include "core/package_contents.h"
#include "package/self_inspection.h"

using namespace plim;

namespace {

[[noreturn]] void usage() {
  std::fputs(
      "usage: browser_probe [--own-signature] "
      "{--search|--mark|--lists EXES DIRS|--scan DIR|--add PATH}...\n",
      stderr);
  std::exit(2);
}

std::uint32_t first_four_bytes(const char* path) {
  std::uint32_t signature = 0;
  int fd = ::open(path, O_RDONLY);
  if (fd < 0 || ::read(fd, &signature, sizeof signature) != sizeof signature) {
    std::perror(path);
    std::exit(2);
  }
  ::close(fd);
  return signature;
}

std::optional<std::string_view> list_argument(const char* text) {
  if (std::strcmp(text, "-") == 0) return std::nullopt;
  return std::string_view(text);
}

void print_result(const char* action, bool result) {
  std::printf("result\t%s\t%d\n", action, result ? 1 : 0);
  std::fflush(stdout);
}

bool is_file_at_path(const BrowserEntry& entry) {
  struct stat st {};
  return ::stat(entry.exe_path.c_str(), &st) == 0 && st.st_dev == entry.device && st.st_ino == entry.inode;
}

}  // namespace

int main(int argc, char** argv) {
  PackageContents own{};
  inspect_own_package(argv[0], own);
  BrowserList list;
  int i = 1;
  if (i < argc && std::strcmp(argv[i], "--own-signature") == 0) {
    own.exe_signature = first_four_bytes(argv[0]);
    ++i;
  }
  if (i == argc) usage();
  for (; i < argc; ++i) {
    std::string_view action = argv[i];
    if (action == "--search") {
      print_result("search", find_running_browsers(list, own, false));
    } else if (action == "--mark") {
      print_result("mark", find_running_browsers(list, own, true));
    } else if (action == "--lists" && i + 2 < argc) {
      print_result("lists", add_browsers_from_lists(list, own, list_argument(argv[i + 1]),
                                                    list_argument(argv[i + 2])));
      i += 2;
    } else if (action == "--scan" && i + 1 < argc) {
      print_result("scan", scan_browser_directory(list, own, argv[++i]));
    } else if (action == "--add" && i + 1 < argc) {
      print_result("add", add_browser_executable(list, own, argv[++i], std::nullopt, -1, nullptr));
    } else {
      usage();
    }
  }
  std::fflush(stderr);
  for (const BrowserEntry& entry : list)
    std::printf("entry\t%s\t%d\t%c\t%s\t%s\n", entry.exe_path.c_str(), entry.owner_uid, entry.libc_char,
                entry.browser_home.c_str(), is_file_at_path(entry) ? "same" : "other");
  return 0;
}
