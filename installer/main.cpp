#include "core/allocation.h"
#include "installer/main_flow.h"

int main(int argc, char** argv) {
  install_allocation_failure_handler();
  return run_installer(argc, argv);
}
