#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// A newly created file of fixed length, mapped writable and shared; the
// caller fills every byte through address(). The previous file of the same
// name waits under "<name>~" until the new one has its full length, and is
// put back under its name if creating the new one fails.
class OutputMap {
 public:
  OutputMap() = default;
  OutputMap(char* address, std::uint32_t length, std::string name)
      : address_(address), length_(length), name_(std::move(name)) {}
  OutputMap(OutputMap&& other) noexcept;
  OutputMap& operator=(OutputMap&& other) noexcept;
  OutputMap(const OutputMap&) = delete;
  OutputMap& operator=(const OutputMap&) = delete;
  ~OutputMap();  // unmaps: the file then holds what was written

  char* address() const { return address_; }
  std::uint32_t length() const { return length_; }
  const std::string& name() const { return name_; }
  explicit operator bool() const { return address_ != nullptr; }

  // Gives up ownership without unmapping; the caller unmaps.
  char* release();

 private:
  char* address_ = nullptr;
  std::uint32_t length_ = 0;
  std::string name_;
};

// Reports a failed "creat", "write" or "mmap", restores the previous file and
// ends the process with status 1.
OutputMap create_output_map(const std::string& name, std::uint32_t length, mode_t mode);
void close_output_map(OutputMap& map);  // an empty map is ignored
