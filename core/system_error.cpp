#include "core/system_error.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace plim {

void report_system_error(const char* call) {
  int saved = errno;
  std::fflush(stdout);
  std::perror(call);
  errno = saved;
}

void exit_on_system_error(const char* call) {
  report_system_error(call);
  std::exit(1);
}

}  // namespace plim
