#pragma once
// Joins CRC-32 values of consecutive pieces without reading the bytes again:
// Crc32Combine(crc(A), crc(B), |B|) == crc(A followed by B), for the CRC-32
// of Crc32Update (every value started from 0).
#include <cstdint>

namespace quarnet {

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondLength);

}  // namespace quarnet
