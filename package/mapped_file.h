#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "package/mapping.h"

namespace plim {

// A read-only, shared mapping of a whole file. Owns the mapping: it is
// released when the owner goes, unless release() handed it over (the own
// file's mapping lives for the whole run).
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const char* address, std::uint32_t length, std::string name)
      : mapping_(const_cast<char*>(address), length), name_(std::move(name)) {}

  const char* address() const { return mapping_.address(); }
  std::uint32_t length() const { return mapping_.length(); }
  const std::string& name() const { return name_; }  // empty when mapped from a descriptor
  explicit operator bool() const { return bool(mapping_); }

  // Gives up ownership: the mapping stays until the process ends.
  const char* release();
  void unmap();

 private:
  Mapping mapping_;  // mapped read-only: never written through
  std::string name_;
};

// Each of these reports a failed "open", "fstat" or "mmap" and ends the
// process with status 1; they never return an empty mapping.
MappedFile map_file(const char* path);
MappedFile map_descriptor(int fd);    // the descriptor stays open
MappedFile map_stream(FILE* stream);  // the stream is closed; the mapping survives
void unmap_file(MappedFile& file);    // an empty mapping is ignored

}  // namespace plim
