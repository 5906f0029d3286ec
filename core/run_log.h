#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace plim {

// The run log ("<program path>.log"), the base every part of the installer
// reports through: everything written with the log_* operations lands there,
// and in the given stream too; passing no stream (nullptr) writes to the run
// log only.

// Opens the run log beside the program path, unless one is open already.
// Any failure leaves the run without a log, silently. The log is truncated
// only when it is a regular file with a single link, and is opened without
// following a symbolic link and without blocking, so a link or FIFO planted
// in a directory others can write never redirects root's writes.
void open_run_log(const char* program_path);

// Writes out what the run log still buffers (before a child is started).
void flush_run_log();

// Formats into the run log, then into `stream`; returns the count written to
// the stream, 0 without one.
int log_printf(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes `text` (no line end added) to the run log, then to `stream`;
// returns the stream write's result, 0 without one.
int log_puts(const char* text, FILE* stream);

void log_putc(int c, FILE* stream);

// "Execute:\t", the words separated by blanks, then `after`: how a run
// announces a program it starts.
void log_execute(FILE* stream, const std::vector<std::string>& words, const char* after = "\n");

// Writes `text` and a line end to the run log and to standard output.
void log_line(const char* text);

}  // namespace plim
