// Splits the input at NUL bytes into an argument vector (the first piece is
// the program's name) and checks what the package builder's argument form
// makes of it against the form's plain rule: seven words, the first four
// after the name beginning with a digit. Nothing is read, run or written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/split_at_nul.h"
#include "package/package_builder.h"

using namespace plim;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool is_form(const std::vector<std::string>& words) {
  if (words.size() != 7) return false;
  for (int i = 1; i <= 4; ++i)
    if (words[i].empty() || words[i][0] < '0' || words[i][0] > '9') return false;
  return true;
}

// The name is the path's last component: a tail without "/" that follows
// either nothing or a "/".
bool is_last_component(std::string_view name, std::string_view path) {
  if (!path.ends_with(name) || name.find('/') != std::string_view::npos) return false;
  return name.size() == path.size() || path[path.size() - name.size() - 1] == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words = split_at_nul(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  auto arguments = read_package_arguments(static_cast<int>(words.size()), argv.data());
  check(arguments.has_value() == is_form(words));
  if (!arguments) return 0;
  for (int i = 0; i < 4; ++i) {
    // The low 8 bits of the leading decimal number, counted independently.
    unsigned long long value = 0;
    bool overflow = false;
    for (const char* c = argv[i + 1]; *c >= '0' && *c <= '9'; ++c) {
      overflow = overflow || value > (~0ULL - 9) / 10;
      value = value * 10 + unsigned(*c - '0');
    }
    // strtoul saturates a number too large for it.
    if (!overflow && value <= ~0UL) check(arguments->version[i] == std::uint8_t(value));
  }
  check(arguments->license_path == argv[5] && arguments->archive_path == argv[6]);
  check(is_last_component(arguments->license_name, words[5]));
  check(is_last_component(arguments->archive_name, words[6]));
  return 0;
}
