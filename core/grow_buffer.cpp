#include "core/grow_buffer.h"

#include <cstring>

namespace plim {

char* GrowBuffer::reserve(std::size_t length) {
  std::size_t size = (length + 4 + 4095) / 4096 * 4096;
  if (!data_ || capacity_ < size - 4) {
    // Allocation failure goes through the new-handler, which ends the run.
    std::unique_ptr<char[]> grown(new char[size - 4 + 1]);
    if (data_)
      std::memcpy(grown.get(), data_.get(), capacity_);
    else
      grown[0] = '\0';
    data_ = std::move(grown);
    capacity_ = size - 4;
  }
  return data_.get();
}

}  // namespace plim
