#pragma once

#include <cstdint>

namespace plim {

// Owns one memory mapping: unmapped when the owner goes, unless release()
// handed it over. Movable, not copyable.
class Mapping {
 public:
  Mapping() = default;
  Mapping(char* address, std::uint32_t length) : address_(address), length_(length) {}
  Mapping(Mapping&& other) noexcept : address_(other.address_), length_(other.length_) { other.release(); }
  Mapping& operator=(Mapping&& other) noexcept;
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping() { unmap(); }

  char* address() const { return address_; }
  std::uint32_t length() const { return length_; }
  explicit operator bool() const { return address_ != nullptr; }

  // Gives up ownership: the mapping stays until someone unmaps it.
  char* release();
  // Unmaps now; an empty mapping is ignored.
  void unmap();

 private:
  char* address_ = nullptr;
  std::uint32_t length_ = 0;
};

}  // namespace plim
