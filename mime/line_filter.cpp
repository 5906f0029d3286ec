#include "mime/line_filter.h"

#include <stdio.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

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

LineReader::~LineReader() { std::free(text_); }

bool LineReader::next() {
  if (put_back_) {
    put_back_ = false;
    return true;
  }
  ssize_t length = ::getline(&text_, &capacity_, in_);
  if (length < 0) {
    length_ = 0;
    return false;
  }
  length_ = std::size_t(length);
  // getline leaves room for its NUL after the line.
  if (text_[length_ - 1] != '\n') text_[length_++] = '\n';
  return true;
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

bool copy_without_entries(LineReader& in, LineWriter& out, bool (*is_entry)(std::string_view line),
                          Comments comments) {
  std::string held;
  bool holding = false;
  while (in.next() && out.ok()) {
    std::string_view line = in.line();
    if (comments == Comments::go_with_entry && line.starts_with('#')) {
      if (holding) out.write(held);
      held.assign(line);
      holding = true;
      continue;
    }
    bool keep = !is_entry(line);
    if (holding && keep) out.write(held);
    holding = false;
    if (keep) out.write(line);
    while (continues(line) && in.next()) {
      line = in.line();
      if (keep) out.write(line);
    }
  }
  if (holding) out.write(held);
  return out.end_line() && !in.failed();
}
