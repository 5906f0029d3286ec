// Golden files and tables of cases for unit tests.
#include "testing/test_support/golden.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "testing/test_support/capture_output.h"
#include "testing/test_support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kSeparator = " | ", kArrow = " => ";

bool updating() {
  const char* update = std::getenv("PLIM_UPDATE_TESTDATA");
  return update && std::string(update) == "1";
}

std::string unescaped(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'x') {
      out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (std::size_t letter = kEscapeLetters.find(c); letter != std::string_view::npos) {
      out += kEscapedBytes[letter];
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> fields_of(const std::string& input) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t at; (at = input.find(kSeparator, start)) != std::string::npos;
       start = at + kSeparator.size())
    fields.push_back(unescaped(input.substr(start, at - start)));
  fields.push_back(unescaped(input.substr(start)));
  return fields;
}

}  // namespace

std::string escaped_byte(char c) {
  if (c == '\\') return "\\\\";
  if (std::size_t letter = kEscapedBytes.find(c); letter != std::string_view::npos)
    return {'\\', kEscapeLetters[letter]};
  if (c >= ' ' && c <= '~') return {c};
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
  return hex;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += escaped_byte(c);
  if (out.empty() || out.front() == ' ' || out.back() == ' ') out = '"' + out + '"';
  return out;
}

void expect_golden(const std::string& actual, const std::string& path) {
  const std::string file = path.starts_with("/") ? path : PLIM_SOURCE_DIR "/" + path;
  if (updating()) {
    std::ofstream(file, std::ios::binary) << actual;
    return;
  }
  std::string expected = read_file(file);
  if (expected == actual) return;
  ScratchDir dir;
  write_file(dir / "actual", actual);
  std::string diff,
      command = "diff -u --label " + path + " --label actual '" + file + "' '" + (dir / "actual") + "'";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) diff.append(buffer, n);
    ::pclose(pipe);
  }
  ADD_FAILURE() << "the run differs from " << path << " (PLIM_UPDATE_TESTDATA=1 rewrites it):\n" << diff;
}

void expect_table(const std::string& path, const TableRow& row) {
  std::istringstream table(read_file(PLIM_SOURCE_DIR "/" + path));
  EXPECT_TRUE(table.str().size()) << path << " is missing or empty";
  std::string actual;
  for (std::string line; std::getline(table, line);) {
    if (!line.empty() && line[0] != '#') {
      std::string input = line.substr(0, line.find(kArrow));
      line = input + kArrow + row(fields_of(input));
    }
    actual += line + '\n';
  }
  expect_golden(actual, path);
}

std::string tree_listing(const std::string& dir) {
  std::set<std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::string line = fs::relative(entry.path(), dir).string() + " ";
    struct stat st;
    ::lstat(entry.path().c_str(), &st);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o ", unsigned(st.st_mode & 07777));
    if (S_ISLNK(st.st_mode))
      line += "-> " + fs::read_symlink(entry.path()).string();
    else if (S_ISDIR(st.st_mode))
      line += "dir";
    else if (st.st_size > 80)
      line += mode + std::to_string(st.st_size) + " bytes";
    else
      line += mode + escaped(read_file(entry.path()));
    lines.insert(line + "\n");
  }
  std::string listing;
  for (const std::string& line : lines) listing += line;
  return listing;
}

std::string run_step(const std::string& what, const std::function<void()>& call, const std::string& dir) {
  Captured run = capture_in_child(call);
  std::string text = "=== " + what + ": status " + std::to_string(run.status) + "\n" + run.out +
                     "--- standard error:\n" + run.err + "--- left:\n" + tree_listing(dir);
  for (std::size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "DIR");
  return text;
}
