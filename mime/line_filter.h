#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

namespace plim {

// How the mailcap and mime.types filters read and write: lines of any length
// and any bytes (a NUL included), through stream buffers of 64 KiB, so that a
// file of a million lines costs a few hundred system calls, not one per line,
// and a line of a gigabyte costs no more memory than a short one.

inline constexpr std::size_t kStreamBlock = std::size_t{64} * 1024;

// The most of one line the filters hold: every decision needs only a line's
// start (a type name, a header, a comment sign) and its last two bytes. A
// longer line is read and copied through in pieces of this size.
inline constexpr std::size_t kLongestHeldLine = 4096;

// A stream over a descriptor (taken over, also when the stream cannot be
// made), with a 64 KiB buffer of its own; none for a descriptor of -1.
class BlockStream {
 public:
  BlockStream(int fd, const char* mode);
  ~BlockStream();  // closes, if close() has not
  BlockStream(const BlockStream&) = delete;
  BlockStream& operator=(const BlockStream&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

  // Closes the stream; false when writing out the buffer or the close itself
  // failed (errno says why).
  bool close();

 private:
  FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
};

// Reads `in` line by line, holding at most kLongestHeldLine bytes of a line:
// a longer line comes in pieces, each but the last without the line end.
class LineReader {
 public:
  explicit LineReader(FILE* in);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next piece: a whole line, its line end included, or the next
  // kLongestHeldLine bytes of a longer one. False at the end of the input or
  // after a read error. A last line without a line end is given one, so that
  // it is recognised, and written, as it will be read by the next update,
  // after the entries appended below it.
  bool next();
  // The piece last read; valid until the next call of next().
  std::string_view line() const { return piece_; }
  // Whether the piece holds its line's end.
  bool ends_line() const { return !piece_.empty() && piece_.back() == '\n'; }
  // Whether the line whose end the piece holds goes on in the next line
  // (continues(), over the whole line).
  bool line_continues() const;
  // Makes the next call of next() return the same piece again.
  void put_back() { put_back_ = true; }
  bool failed() const { return std::ferror(in_) != 0; }

 private:
  bool fill();

  FILE* in_;
  std::unique_ptr<char[]> buffer_;  // kStreamBlock bytes; [start_, end_) not yet handed out
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  std::string_view piece_;
  char before_piece_ = '\n';  // the line's byte before the piece ('\n' at its start)
  bool put_back_ = false;
};

// Writes to `out`, remembering the first failure.
class LineWriter {
 public:
  explicit LineWriter(FILE* out) : out_(out) {}

  // Writes `text` unless a write has failed already; false once one has.
  bool write(std::string_view text);
  // Ends the output so that what is appended next starts a line of its own:
  // a line end after a last line without one, and a blank line after a line
  // that continues (else it would swallow the next line, and every update
  // one more).
  bool end_line();
  bool ok() const { return ok_; }

 private:
  FILE* out_;
  bool ok_ = true;
  char last_[2] = {'\n', '\n'};  // the last two characters written
};

// Whether `line` goes on in the next line: a backslash right before its line end.
constexpr bool continues(std::string_view line) {
  return line.size() >= 2 && line.back() == '\n' && line[line.size() - 2] == '\\';
}

// What the copy does with comment lines (first character "#").
enum class Comments {
  kCopy,         // copied like any other unrecognised line
  kGoWithEntry,  // each is held back: dropped with an entry right below it, else written
};

// Copies `in` to `out`, dropping every line that `is_entry` recognises by its
// start (its first piece) together with its continuation lines; an
// unrecognised line is copied with its continuation lines unexamined. A
// comment held back (Comments::kGoWithEntry) must fit in one piece: a longer
// one is never one of the installer's markers, and is copied. The output is
// ended as end_line() does. False when reading or writing failed.
bool copy_without_entries(LineReader& in, LineWriter& out, bool (*is_entry)(std::string_view line),
                          Comments comments);

}  // namespace plim
