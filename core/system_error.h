#pragma once

namespace plim {

// Reports a failed system call the way perror does: "<call>: <strerror(errno)>"
// on standard error. It is the one place that formats such lines, so every
// message names the call the way the program's texts need it ("creat", "mmap").
// errno is preserved.
void report_system_error(const char* call);

// Reports the failed call and ends the process with status 1.
[[noreturn]] void exit_on_system_error(const char* call);

}  // namespace plim
