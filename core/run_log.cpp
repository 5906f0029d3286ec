#include "core/run_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <string>

namespace plim {

namespace {

FILE* run_log = nullptr;

// Opens `path` for the run log without following a symbolic link and without
// blocking on a FIFO; only a regular file with one link is truncated and used.
// The log is locked for the whole run (flock, released when the process
// ends): a second run of the same package meanwhile goes without a log
// rather than truncate or interleave the first one's.
FILE* open_log_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* log = ::fdopen(fd, "w");
  if (!log) ::close(fd);
  return log;
}

}  // namespace

void open_run_log(const char* program_path) {
  if (!program_path || run_log) return;
  run_log = open_log_file(std::string(program_path) + ".log");
}

void flush_run_log() {
  if (run_log) std::fflush(run_log);
}

// An error line must follow the messages printed before it also when standard
// output and standard error go to one file, where stdout is fully buffered.
static void keep_order(FILE* stream) {
  if (stream == stderr) std::fflush(stdout);
}

int log_printf(FILE* stream, const char* format, ...) {
  keep_order(stream);
  va_list args;
  va_start(args, format);
  if (run_log) {
    va_list copy;
    va_copy(copy, args);
    std::vfprintf(run_log, format, copy);
    va_end(copy);
  }
  int written = stream ? std::vfprintf(stream, format, args) : 0;
  va_end(args);
  return written;
}

int log_puts(const char* text, FILE* stream) {
  keep_order(stream);
  if (run_log) std::fputs(text, run_log);
  return stream ? std::fputs(text, stream) : 0;
}

void log_putc(int c, FILE* stream) {
  keep_order(stream);
  if (run_log) std::fputc(c, run_log);
  if (stream) std::fputc(c, stream);
}

void log_line(const char* text) {
  if (run_log) {
    std::fputs(text, run_log);
    std::fputc('\n', run_log);
  }
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
}

void log_execute(FILE* stream, const std::vector<std::string>& words, const char* after) {
  std::string line = "Execute:\t";
  for (const std::string& word : words) line += (&word == words.data() ? "" : " ") + word;
  line += after;
  log_puts(line.c_str(), stream);
}

}  // namespace plim
