#pragma once

#include <cstdio>

// The installer's conversation with the user. Everything written through the
// log_* operations also lands in the run log ("<program path>.log"); passing
// no stream (nullptr) writes to the run log only.

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

// Writes `text` and a line end to the run log and to standard output.
void log_line(const char* text);

// The next whole line of `in`, line end included, valid until the next call;
// the last line without its line end when the input ends there; nullptr at end
// of input when nothing was read.
const char* read_line(FILE* in);

// Prompts on standard output and waits for one line (or end of input).
const char* wait_for_enter(const char* prompt);

// Asks on a freshly cleared screen until the answer starts with y/Y (true) or
// n/N (false); end of input counts as no.
bool ask_yes_no(const char* question);

// Clears the screen and shows the version box; the first banner of the run
// is followed by the welcome text.
void show_banner();
void show_welcome();
