#include "core/allocation.h"

#include <cerrno>
#include <new>

#include "core/system_error.h"

namespace plim {

namespace {

[[noreturn]] void allocation_failed() {
  errno = ENOMEM;
  exit_on_system_error("realloc");
}

}  // namespace

void install_allocation_failure_handler() { std::set_new_handler(allocation_failed); }

}  // namespace plim
