#pragma once

#include <cstddef>
#include <memory>

namespace plim {

// A character buffer that grows in 4096-byte steps and never shrinks.
// Reserving room for n characters gives a capacity of n + 4 rounded up to a
// multiple of 4096, less 4 (each block once began with its capacity as a
// 4-byte count, and the capacities callers see still leave room for it): a
// first reservation of 4096 gives 8188, each further step adds 4096.
// Growth keeps the contents; data() may change when the buffer grows.
class GrowBuffer {
 public:
  // Makes room for at least `length` characters (terminating NUL included).
  char* reserve(std::size_t length);

  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  std::size_t capacity() const { return capacity_; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
};

}  // namespace plim
