#include "package/mapping.h"

#include <sys/mman.h>

#include <utility>

namespace plim {

Mapping& Mapping::operator=(Mapping&& other) noexcept {
  if (this != &other) {
    unmap();
    length_ = other.length_;
    address_ = other.release();
  }
  return *this;
}

char* Mapping::release() {
  length_ = 0;
  return std::exchange(address_, nullptr);
}

void Mapping::unmap() {
  if (!address_) return;
  std::uint32_t length = length_;
  ::munmap(release(), length);
}

}  // namespace plim
