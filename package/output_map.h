#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>

#include "package/mapping.h"

namespace plim {

// A newly created file of fixed length, mapped writable and shared; the
// caller fills every byte through address(). The previous file of the same
// name waits under "<name>~" until the new one has its full length, and is
// put back under its name if creating the new one fails. The mapping goes
// with its owner: the file then holds what was written.
class OutputMap {
 public:
  OutputMap() = default;
  OutputMap(char* address, std::uint32_t length, std::string name)
      : mapping_(address, length), name_(std::move(name)) {}

  char* address() const { return mapping_.address(); }
  std::uint32_t length() const { return mapping_.length(); }
  const std::string& name() const { return name_; }
  explicit operator bool() const { return bool(mapping_); }

  // Gives up ownership without unmapping; the caller unmaps.
  char* release();
  void unmap();

 private:
  Mapping mapping_;
  std::string name_;
};

// Reports a failed "creat", "write" or "mmap", restores the previous file and
// ends the process with status 1.
OutputMap create_output_map(const std::string& name, std::uint32_t length, mode_t mode);
void close_output_map(OutputMap& map);  // an empty map is ignored

}  // namespace plim
