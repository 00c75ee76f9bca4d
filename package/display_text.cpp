#include "package/display_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace quarnet {
namespace {

// Length of the well-formed UTF-8 character at the start of `text` that may
// be shown, or 0 when its first byte must be escaped.
// With `controls`, the C0 and C1 controls and DEL may be shown as well.
std::size_t ShownLength(std::string_view text, bool controls = false) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t b = byte(0);
  if ((b < 0x20 || b == 0x7F) && !controls) return 0;
  if (b < 0x80) return 1;
  std::size_t n = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) low = 0xA0;   // no overlong forms
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < n || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  // U+0080 .. U+009F: the C1 controls.
  if (b == 0xC2 && byte(1) <= 0x9F && !controls) return 0;
  return n;
}

std::string Escaped(std::string_view text, bool controls) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    std::size_t n = ShownLength(text, controls);
    if (n > 0) {
      out.append(text.substr(0, n));
    } else {
      std::array<char, 5> escaped{};
      std::snprintf(escaped.data(), escaped.size(), "\\x%02X", static_cast<std::uint8_t>(text[0]));
      out += escaped.data();
      n = 1;
    }
    text.remove_prefix(n);
  }
  return out;
}

}  // namespace

std::string DisplayText(std::string_view text) { return Escaped(text, false); }

std::string WindowText(std::string_view text) { return Escaped(text, true); }

bool IsDisplayable(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = ShownLength(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

}  // namespace quarnet
