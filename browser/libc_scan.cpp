#include "browser/libc_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/retry.h"

namespace plim {

namespace {

constexpr std::string_view kLibcText = "libc.so.";
constexpr std::string_view kMozillaText = "MOZILLA_HOME";

// Both texts need the byte after them, so a match is judged only once that
// byte has been read. Carrying the last 12 bytes of one block to the front of
// the next keeps every match that was cut short, or whose following byte had
// not arrived, in view for the next round.
constexpr std::size_t kCarry = std::max(kLibcText.size(), kMozillaText.size());

// The first match of `text` at or after `from` whose following byte lies in
// `view`; npos when there is none yet.
std::size_t find_followed(std::string_view view, std::string_view text, std::size_t from) {
  if (from + text.size() >= view.size()) return std::string_view::npos;
  const void* hit = ::memmem(view.data() + from, view.size() - from, text.data(), text.size());
  if (!hit) return std::string_view::npos;
  std::size_t at = static_cast<const char*>(hit) - view.data();
  if (at + text.size() >= view.size()) return std::string_view::npos;  // next byte still to come
  return at;
}

// The byte after the first "libc.so." that is not followed by NUL, or 0.
char find_libc_char(std::string_view view, std::size_t from) {
  for (;;) {
    std::size_t at = find_followed(view, kLibcText, from);
    if (at == std::string_view::npos) return 0;
    char c = view[at + kLibcText.size()];
    if (c != '\0') return c;
    from = at + 1;
  }
}

}  // namespace

char scan_for_libc_char(int fd, std::size_t block_size, std::size_t limit) {
  std::vector<char> buffer(kCarry + block_size);
  std::size_t kept = 0;  // bytes carried over at the front of the buffer
  char libc_char = 0;
  bool mozilla_seen = false;
  for (std::size_t read_so_far = 0; read_so_far < limit;) {
    std::size_t wanted = std::min(block_size, limit - read_so_far);
    ssize_t got = retry_on_eintr([&] { return ::read(fd, buffer.data() + kept, wanted); });
    if (got <= 0) break;
    read_so_far += static_cast<std::size_t>(got);
    std::string_view view(buffer.data(), kept + static_cast<std::size_t>(got));
    // A match starting before kept - length had its following byte in the
    // previous view and was judged there already.
    if (!libc_char) libc_char = find_libc_char(view, kept > kLibcText.size() ? kept - kLibcText.size() : 0);
    if (!mozilla_seen)
      mozilla_seen =
          find_followed(view, kMozillaText, kept > kMozillaText.size() ? kept - kMozillaText.size() : 0) !=
          std::string_view::npos;
    if (libc_char && mozilla_seen) break;
    std::size_t carry = std::min(view.size(), kCarry);
    std::memmove(buffer.data(), buffer.data() + view.size() - carry, carry);
    kept = carry;
  }
  return mozilla_seen ? libc_char : 0;
}

}  // namespace plim
