#include "package/link_or_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "core/system_error.h"
#include "core/unique_fd.h"
#include "package/mapped_file.h"
#include "package/output_map.h"

namespace plim {

namespace {

// The nine read/write/execute bits; set-id and sticky bits are not carried
// over to a copy.
constexpr mode_t kPermissionBits = 0777;

void copy_file(int from_fd, mode_t mode, const char* to) {
  MappedFile source = map_descriptor(from_fd);
  OutputMap copy = create_output_map(to, source.length(), mode);
  std::memcpy(copy.address(), source.address(), source.length());
  close_output_map(copy);
  unmap_file(source);
}

}  // namespace

void link_or_copy(const char* from, const char* to) {
  if (::link(from, to) == 0) return;

  UniqueFd from_fd(::open(from, O_RDONLY | O_CLOEXEC));
  if (!from_fd) exit_on_system_error("open");
  struct stat from_st;
  if (::fstat(from_fd.get(), &from_st) != 0) exit_on_system_error("fstat");

  struct stat to_st;
  if (::stat(to, &to_st) == 0) {
    if (to_st.st_dev == from_st.st_dev && to_st.st_ino == from_st.st_ino) return;
    ::unlink(to);
    if (::link(from, to) == 0) return;
  }
  // Different file systems, or a place that takes no links: copy.
  copy_file(from_fd.get(), from_st.st_mode & kPermissionBits, to);
}

}  // namespace plim
