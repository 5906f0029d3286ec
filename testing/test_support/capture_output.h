#pragma once

#include <functional>
#include <string>

// Runs `body` in a child process with `input` as standard input and returns
// what it wrote to standard output (and, when asked, standard error). The
// child keeps the test process's static state (the line buffer, the welcome
// flag) away from the other tests.
struct Captured {
  std::string out;
  std::string err;
  int status = -1;  // exit status of the child
};
Captured capture_in_child(const std::function<void()>& body, const std::string& input = "");
