#include "package/build_usage.h"

#include <cstdio>
#include <cstdlib>

#include "core/console.h"

void print_build_usage(const char* program_path) {
  const char* p = program_path;
  log_printf(stderr, "To build:\n\t%s major minor patch delta license archive\n", p);
  log_printf(stderr, "\t-or-\n\t%s major minor 0 beta license archive\n", p);
  log_printf(stderr, "Examples:\n\t%s 2 0 2 1 License.txt.gz Plim.tar.gz\n", p);
  log_printf(stderr, "\t%s 2 0 0 1 license.txt.gz plim.tar.gz\n", p);
  std::exit(1);
}
