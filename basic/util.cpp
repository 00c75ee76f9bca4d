#include "basic/util.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

namespace quarnet {

std::unique_ptr<std::uint8_t[]> AllocateBytes(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

void ReadTextLine(InputFile& file, char* buffer, std::size_t size) {
  if (size == 0) return;
  // Each character of the line takes at most two bytes (CR LF).
  std::vector<std::uint8_t> bytes(2 * size);
  bytes.resize(file.Read(bytes));
  std::size_t n = 0;
  for (std::size_t i = 0; i < bytes.size() && n + 1 < size; ++i) {
    char c = static_cast<char>(bytes[i]);
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      c = '\n';
      ++i;
    }
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = '\0';
}

int ToInt(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace quarnet
