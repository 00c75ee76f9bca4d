#include "package/crc32.h"

#include <array>

#include "package/crc32_internal.h"
#include "package/endian.h"

namespace quarnet {
namespace crc32_detail {
namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

// tables[0] is the classic byte table; tables[k][b] is the CRC of byte b
// followed by k zero bytes, so eight bytes fold in one step.
constexpr Tables MakeTables() {
  Tables t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t c = b;
    for (int i = 0; i < 8; ++i) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][b] = c;
  }
  for (std::size_t k = 1; k < 8; ++k)
    for (std::uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

std::uint32_t TableRegister(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t lo = LoadLE32(p) ^ c;
    const std::uint32_t hi = LoadLE32(p + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
  }
  for (; n > 0; ++p, --n) c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
  return c;
}

}  // namespace crc32_detail

namespace {

using RegisterFn = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);

RegisterFn PathFunction(Crc32Path path) {
#if defined(__x86_64__)
  if (path == Crc32Path::kVpclmul && crc32_detail::CpuHasVpclmul())
    return crc32_detail::VpclmulRegister;
  if (path == Crc32Path::kPclmul && crc32_detail::CpuHasPclmul())
    return crc32_detail::PclmulRegister;
#else
  (void)path;
#endif
  return crc32_detail::TableRegister;
}

std::uint32_t Run(RegisterFn fn, std::uint32_t previous, const void* data, std::size_t length) {
  return ~fn(~previous, static_cast<const std::uint8_t*>(data), length);
}

}  // namespace

bool Crc32PathSupported(Crc32Path path) {
  switch (path) {
#if defined(__x86_64__)
    case Crc32Path::kVpclmul:
      return crc32_detail::CpuHasVpclmul();
    case Crc32Path::kPclmul:
      return crc32_detail::CpuHasPclmul();
#endif
    case Crc32Path::kTable:
      return true;
    default:
      return false;
  }
}

Crc32Path Crc32BestPath() {
  static const Crc32Path best = Crc32PathSupported(Crc32Path::kVpclmul) ? Crc32Path::kVpclmul
                                : Crc32PathSupported(Crc32Path::kPclmul) ? Crc32Path::kPclmul
                                                                         : Crc32Path::kTable;
  return best;
}

std::uint32_t Crc32Update(std::uint32_t previous, const void* data, std::size_t length) {
  static const RegisterFn best = PathFunction(Crc32BestPath());
  return Run(best, previous, data, length);
}

std::uint32_t Crc32UpdateWith(Crc32Path path, std::uint32_t previous, const void* data,
                              std::size_t length) {
  return Run(PathFunction(path), previous, data, length);
}

}  // namespace quarnet
