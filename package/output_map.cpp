#include "package/output_map.h"

#include <sys/mman.h>

#include <utility>

#include "package/output_file.h"

namespace {

constexpr std::uint32_t kTouchStride = 512;

}  // namespace

OutputMap::OutputMap(OutputMap&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      name_(std::move(other.name_)) {}

OutputMap& OutputMap::operator=(OutputMap&& other) noexcept {
  if (this != &other) {
    close_output_map(*this);
    address_ = std::exchange(other.address_, nullptr);
    length_ = std::exchange(other.length_, 0);
    name_ = std::move(other.name_);
  }
  return *this;
}

OutputMap::~OutputMap() { close_output_map(*this); }

char* OutputMap::release() {
  length_ = 0;
  name_.clear();
  return std::exchange(address_, nullptr);
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

void close_output_map(OutputMap& map) {
  if (!map) return;
  std::uint32_t length = map.length();
  ::munmap(map.release(), length);
}
