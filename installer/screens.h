#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "core/package_contents.h"

namespace plim {

// The installer's screens: questions asked on a freshly cleared screen under
// the version box, and the lines typed in answer.

// The next whole line of `in`, line end included, up to a NUL it may hold;
// the last line without its line end when the input ends there; none at end
// of input when nothing was read. (Not mime's LineReader: an answer is
// judged whole and as typed, where a file filter reads bounded pieces and
// gives a last line the end it lacks.)
std::optional<std::string> read_line(FILE* in);

// Prompts on standard output and waits for one line (or end of input).
std::optional<std::string> wait_for_enter(const char* prompt);

// Asks on a freshly cleared screen until the answer starts with y/Y (true) or
// n/N (false); end of input counts as no.
bool ask_yes_no(const PackageContents& contents, const char* question);

// Clears the screen and shows the version box (the version of `contents`);
// the first banner of the run is followed by the welcome text.
void show_banner(const PackageContents& contents);
void show_welcome(const PackageContents& contents);

}  // namespace plim
