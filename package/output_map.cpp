#include "package/output_map.h"

#include <sys/mman.h>

#include "package/output_file.h"

namespace plim {

namespace {

constexpr std::uint32_t kTouchStride = 512;

}  // namespace

char* OutputMap::release() {
  name_.clear();
  return mapping_.release();
}

void OutputMap::unmap() {
  mapping_.unmap();
  name_.clear();
}

OutputMap create_output_map(const std::string& name, std::uint32_t length, mode_t mode) {
  OutputFile file = create_output_file(name, length, mode);

  // A length of zero fails here with EINVAL, like any file that cannot be mapped.
  void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd(), 0);
  if (address == MAP_FAILED) file.fail("mmap");

  // Touch every page before the caller copies into it.
  char* bytes = static_cast<char*>(address);
  for (std::uint64_t offset = 0; offset < length; offset += kTouchStride) bytes[offset] = 0;

  file.complete();  // the mapping stays valid without the descriptor
  return OutputMap(bytes, length, name);
}

void close_output_map(OutputMap& map) { map.unmap(); }

}  // namespace plim
