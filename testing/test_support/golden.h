#pragma once

// Expected results kept as text files beside the tests, so that a change of
// behaviour shows as a diff of plain text. With PLIM_UPDATE_TESTDATA=1 in the
// environment the files are rewritten from the run instead of compared;
// review the rewrite with `git diff` before keeping it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Compares `actual` byte for byte with the file at `path` (absolute, or
// relative to the source tree); a mismatch fails the test with `diff -u` of
// the two.
void expect_golden(const std::string& actual, const std::string& path);

// A table of cases: one case a line, its fields separated by " | ", then
// " => " and the expected result. Lines starting with '#' and blank lines
// stand as they are. Fields and results take the escapes below, and a field
// in double quotes keeps the blanks at its edges. `row` gets each case's
// decoded fields and returns its result; the table, with every result
// replaced by the one returned, must equal the file (see expect_golden). A
// case written without " => " gets its result on update.
using TableRow = std::function<std::string(const std::vector<std::string>& fields)>;
void expect_table(const std::string& path, const TableRow& row);

// The escapes of texts in tables and case files: a letter for each of these
// bytes, \\ for the backslash, \xHH for any other byte outside printable ASCII.
inline constexpr std::string_view kEscapeLetters = "0abtnvfr";
inline constexpr std::string_view kEscapedBytes{"\0\a\b\t\n\v\f\r", 8};

// One byte as those texts write it: its escape, or the byte itself.
std::string escaped_byte(char c);

// `text` with the escapes above (in double quotes when it has blanks at its
// edges or is empty), for results that hold unprintable bytes.
std::string escaped(const std::string& text);

// Every entry below `dir`, sorted, one a line: the relative path, then "dir",
// "-> TARGET" for a symbolic link, or the octal mode and the escaped contents
// of a regular file (its size when longer than 80 bytes).
std::string tree_listing(const std::string& dir);

// One step of a transcript kept as a golden file: runs `call` in a child
// (see capture_in_child) and tells how it ended, what it wrote to standard
// output and standard error, and the tree below `dir` after it, with `dir`
// itself shown as "DIR".
std::string run_step(const std::string& what, const std::function<void()>& call, const std::string& dir);
