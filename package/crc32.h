#pragma once
// CRC-32 (reflected polynomial 0xEDB88320, preset and final complement).
// Every checksum of a package is Crc32Update(0, bytes, length); chained calls
// over consecutive pieces give the value of one call over the whole.
#include <cstddef>
#include <cstdint>

namespace quarnet {

std::uint32_t Crc32Update(std::uint32_t previous, const void* data, std::size_t length);

}  // namespace quarnet
