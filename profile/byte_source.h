#pragma once

#include <array>
#include <cstddef>
#include <istream>
#include <string_view>
#include <vector>

namespace profile {

// Buffered byte input for the profile reader: whole blocks are fetched from
// the underlying stream or descriptor, so reading a character costs no call.
class ByteSource {
 public:
  static constexpr int end_of_file = -1;

  static constexpr std::size_t default_block_size = std::size_t{64} * 1024;

  explicit ByteSource(std::size_t block_size = default_block_size)
      : buffer_(block_size > 0 ? block_size : 1) {}
  virtual ~ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // The next byte as 0..255, or end_of_file (for good, once reached).
  int next() {
    if (position_ == end_) [[unlikely]] {
      if (!refill()) return end_of_file;
    }
    return static_cast<unsigned char>(*position_++);
  }

  // Gives back the byte that the last next() returned; valid only when that
  // byte was not end_of_file.
  void unget() { --position_; }

  // The bytes buffered but not yet read; empty at the end of a block.
  std::string_view buffered() const { return {position_, static_cast<std::size_t>(end_ - position_)}; }

  // Consumes count bytes of buffered().
  void skip(std::size_t count) { position_ += count; }

  // Consumes and gives the longest run of buffered bytes whose entry in
  // table is set. The run may stop early at the end of a block.
  std::string_view take_run(const std::array<bool, 256>& table) {
    const char* start = position_;
    while (position_ != end_ && table[static_cast<unsigned char>(*position_)]) ++position_;
    return {start, static_cast<std::size_t>(position_ - start)};
  }

 protected:
  // Fills buffer with up to size bytes; 0 means end of input (errors too).
  virtual std::size_t read_block(char* buffer, std::size_t size) = 0;

 private:
  bool refill();

  std::vector<char> buffer_;
  const char* position_ = nullptr;
  const char* end_ = nullptr;
  bool ended_ = false;
};

// Reads a std::istream (tests give the reader text this way).
class StreamByteSource final : public ByteSource {
 public:
  explicit StreamByteSource(std::istream& in, std::size_t block_size = default_block_size)
      : ByteSource(block_size), in_(in) {}

 protected:
  std::size_t read_block(char* buffer, std::size_t size) override;

 private:
  std::istream& in_;
};

// Reads an open file descriptor, which stays the caller's.
class FdByteSource final : public ByteSource {
 public:
  explicit FdByteSource(int fd) : fd_(fd) {}

 protected:
  std::size_t read_block(char* buffer, std::size_t size) override;

 private:
  int fd_;
};

}  // namespace profile
