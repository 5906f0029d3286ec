#include "package/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "core/system_error.h"
#include "core/unique_fd.h"

namespace plim {

const char* MappedFile::release() {
  name_.clear();
  return mapping_.release();
}

void MappedFile::unmap() {
  mapping_.unmap();
  name_.clear();
}

MappedFile map_descriptor(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) exit_on_system_error("fstat");
  // Lengths are 32-bit throughout the package format. A larger file would be
  // mapped short and then copied short, so it is refused instead.
  if (st.st_size > off_t(UINT32_MAX)) {
    errno = EFBIG;
    exit_on_system_error("mmap");
  }
  // A file of length zero fails here with EINVAL, which is reported as such.
  void* address = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) exit_on_system_error("mmap");
  return MappedFile(static_cast<const char*>(address), std::uint32_t(st.st_size), std::string());
}

MappedFile map_file(const char* path) {
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  if (!fd) exit_on_system_error("open");
  MappedFile file = map_descriptor(fd.get());
  std::uint32_t length = file.length();
  return MappedFile(file.release(), length, path);
}

MappedFile map_stream(FILE* stream) {
  // Whatever the stream still buffers belongs to the file being mapped.
  std::fflush(stream);
  MappedFile file = map_descriptor(::fileno(stream));
  std::fclose(stream);
  return file;
}

void unmap_file(MappedFile& file) { file.unmap(); }

}  // namespace plim
