// Drives the output-file primitives from the command line, so scenarios can
// run them as an ordinary user, on a full disk or across file systems:
//
//   output_map_probe create NAME LENGTH MODE
//       create_output_map(NAME, LENGTH, octal MODE), fill it with the pattern
//       "abc...z" repeated, close_output_map.
//   output_map_probe link FROM TO
//       link_or_copy(FROM, TO).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "package/link_or_copy.h"
#include "package/output_map.h"

using namespace plim;

namespace {

int usage() {
  std::fputs(
      "usage: output_map_probe create NAME LENGTH MODE\n"
      "       output_map_probe link FROM TO\n",
      stderr);
  return 2;
}

int create(const char* name, const char* length_text, const char* mode_text) {
  auto length = std::uint32_t(std::strtoul(length_text, nullptr, 10));
  auto mode = mode_t(std::strtoul(mode_text, nullptr, 8));
  OutputMap map = create_output_map(name, length, mode);
  for (std::uint32_t i = 0; i < length; ++i) map.address()[i] = char('a' + i % 26);
  close_output_map(map);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "create") == 0) return create(argv[2], argv[3], argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "link") == 0) {
    link_or_copy(argv[2], argv[3]);
    return 0;
  }
  return usage();
}
