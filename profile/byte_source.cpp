#include "profile/byte_source.h"

#include <unistd.h>

#include <cerrno>

namespace profile {

bool ByteSource::refill() {
  if (ended_) return false;
  std::size_t got = read_block(buffer_.data(), buffer_.size());
  if (got == 0) {
    ended_ = true;
    return false;
  }
  position_ = buffer_.data();
  end_ = position_ + got;
  return true;
}

std::size_t StreamByteSource::read_block(char* buffer, std::size_t size) {
  std::streambuf* source = in_.rdbuf();
  if (source == nullptr) return 0;
  std::streamsize got = source->sgetn(buffer, static_cast<std::streamsize>(size));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::size_t FdByteSource::read_block(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    // A read error (a directory, say) ends the file like its end does.
    if (errno != EINTR) return 0;
  }
}

}  // namespace profile
