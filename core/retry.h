#pragma once

#include <cerrno>

namespace plim {

// Repeats a system call for as long as a signal interrupts it (-1 with
// errno EINTR) and returns its first other result, errno intact.
template <typename Call>
auto retry_on_eintr(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

}  // namespace plim
