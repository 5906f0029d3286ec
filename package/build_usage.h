#pragma once

namespace plim {

// Prints how to build a package from the program at `program_path` and ends
// the process with status 1.
[[noreturn]] void print_build_usage(const char* program_path);

}  // namespace plim
