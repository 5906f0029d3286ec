#include "core/allocation.h"
#include "installer/main_flow.h"

int main(int argc, char** argv) {
  plim::install_allocation_failure_handler();
  return plim::run_installer(argc, argv);
}
