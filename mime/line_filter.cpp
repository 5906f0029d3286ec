#include "mime/line_filter.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plim {

BlockStream::BlockStream(int fd, const char* mode) {
  if (fd < 0) return;
  file_ = ::fdopen(fd, mode);
  if (!file_) {
    ::close(fd);
    return;
  }
  buffer_.reset(new char[kStreamBlock]);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kStreamBlock);
}

BlockStream::~BlockStream() { close(); }

bool BlockStream::close() {
  if (!file_) return true;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed;
}

static_assert(kStreamBlock > kLongestHeldLine, "a piece and the line end added after it fit the buffer");

LineReader::LineReader(FILE* in) : in_(in), buffer_(new char[kStreamBlock]) {}

// Moves what is left to the front and reads more behind it; false when
// nothing more came.
bool LineReader::fill() {
  std::memmove(buffer_.get(), buffer_.get() + start_, end_ - start_);
  end_ -= start_;
  start_ = 0;
  std::size_t got = std::fread(buffer_.get() + end_, 1, kStreamBlock - end_, in_);
  end_ += got;
  return got > 0;
}

bool LineReader::next() {
  if (put_back_) {
    put_back_ = false;
    return true;
  }
  if (!piece_.empty()) before_piece_ = piece_.back();
  for (;;) {
    std::size_t available = std::min(end_ - start_, kLongestHeldLine);
    const char* at = buffer_.get() + start_;
    const void* line_end = std::memchr(at, '\n', available);
    std::size_t length = line_end ? static_cast<const char*>(line_end) - at + 1 : available;
    if (line_end || length == kLongestHeldLine) {
      piece_ = std::string_view(at, length);
      start_ += length;
      return true;
    }
    if (!fill()) break;
  }
  if (start_ == end_) {
    piece_ = {};
    return false;
  }
  // The input's last line, without its line end: the buffer has room for one.
  buffer_[end_++] = '\n';
  return next();
}

bool LineReader::line_continues() const {
  if (!ends_line()) return false;
  char before_end = piece_.size() >= 2 ? piece_[piece_.size() - 2] : before_piece_;
  return before_end == '\\';
}

bool LineWriter::write(std::string_view text) {
  if (!ok_ || text.empty()) return ok_;
  ok_ = ::fwrite_unlocked(text.data(), 1, text.size(), out_) == text.size();
  last_[0] = text.size() >= 2 ? text[text.size() - 2] : last_[1];
  last_[1] = text.back();
  return ok_;
}

bool LineWriter::end_line() {
  if (last_[1] != '\n') write("\n");
  if (continues({last_, 2})) write("\n");
  return ok_;
}

namespace {

// Copies (or, `keep` false, drops) the pieces of the current line after the
// one last read.
void copy_rest_of_line(LineReader& in, LineWriter& out, bool keep) {
  while (!in.ends_line() && in.next())
    if (keep) out.write(in.line());
}

}  // namespace

bool copy_without_entries(LineReader& in, LineWriter& out, bool (*is_entry)(std::string_view line),
                          Comments comments) {
  std::string held;
  bool holding = false;
  while (in.next() && out.ok()) {
    std::string_view line = in.line();
    if (comments == Comments::kGoWithEntry && line.starts_with('#')) {
      if (holding) out.write(held);
      holding = in.ends_line();
      if (holding) {
        held.assign(line);
      } else {
        out.write(line);
        copy_rest_of_line(in, out, true);
      }
      continue;
    }
    bool keep = !is_entry(line);
    if (holding && keep) out.write(held);
    holding = false;
    if (keep) out.write(line);
    copy_rest_of_line(in, out, keep);
    while (in.line_continues() && in.next()) {
      if (keep) out.write(in.line());
      copy_rest_of_line(in, out, keep);
    }
  }
  if (holding) out.write(held);
  return out.end_line() && !in.failed();
}

}  // namespace plim
