#include "core/printable.h"

#include <cstdio>

namespace plim {

namespace {

void append_hex(std::string& out, unsigned char byte) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02X", byte);
  out += hex;
}

// The length of the valid UTF-8 sequence that starts `text` (2 to 4 bytes),
// 0 when there is none. Overlong forms, surrogates and code points above
// U+10FFFF are not valid.
std::size_t utf8_length(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continuation = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
  unsigned char lead = byte(0);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if (!continuation(i)) return 0;
  unsigned char second = byte(1);
  if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
  if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
  if (lead == 0xF0 && second < 0x90) return 0;   // overlong
  if (lead == 0xF4 && second >= 0x90) return 0;  // above U+10FFFF
  // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
  if (lead == 0xC2 && second < 0xA0) return 0;
  return length;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7F) {
      out += text[at++];
    } else if (byte == '\n') {
      out += "\\n", ++at;
    } else if (byte == '\t') {
      out += "\\t", ++at;
    } else if (byte == '\r') {
      out += "\\r", ++at;
    } else if (byte == 0x1B) {
      out += "\\e", ++at;
    } else if (std::size_t length = byte >= 0x80 ? utf8_length(text.substr(at)) : 0) {
      out.append(text.substr(at, length));
      at += length;
    } else {
      append_hex(out, byte);
      ++at;
    }
  }
  return out;
}

}  // namespace plim
