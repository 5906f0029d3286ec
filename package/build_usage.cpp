#include "package/build_usage.h"

#include <cstdio>
#include <cstdlib>

namespace plim {

// Standard error only: the run log does not keep usage texts. What standard
// output holds goes first, also when both streams share one file.
void print_build_usage(const char* program_path) {
  const char* p = program_path;
  std::fflush(stdout);
  std::fprintf(stderr, "To build:\n\t%s major minor patch delta license archive\n", p);
  std::fprintf(stderr, "\t-or-\n\t%s major minor 0 beta license archive\n", p);
  std::fprintf(stderr, "Examples:\n\t%s 2 0 2 1 License.txt.gz Plim.tar.gz\n", p);
  std::fprintf(stderr, "\t%s 2 0 0 1 license.txt.gz plim.tar.gz\n", p);
  std::exit(1);
}

}  // namespace plim
