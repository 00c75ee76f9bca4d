#pragma once
// CRC-32 (reflected polynomial 0xEDB88320, preset and final complement).
// Every checksum of a package is Crc32Update(0, bytes, length); chained calls
// over consecutive pieces give the value of one call over the whole.
//
// Crc32Update uses the fastest path that the CPU offers, chosen once at run
// time: carry-less-multiply folding with 512-bit vectors (VPCLMULQDQ and
// AVX-512), with 128-bit vectors (PCLMULQDQ and SSE4.1), or the table code
// everywhere else. All paths give identical results.
#include <cstddef>
#include <cstdint>

namespace quarnet {

std::uint32_t Crc32Update(std::uint32_t previous, const void* data, std::size_t length);

// Joins CRC-32 values of consecutive pieces without reading the bytes again:
// Crc32Combine(crc(A), crc(B), |B|) == crc(A followed by B), for values
// started from 0.
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondLength);

enum class Crc32Path { kTable, kPclmul, kVpclmul };

// Whether this build and this CPU (and, for AVX-512, the operating system)
// can run `path`. The table path is always supported.
bool Crc32PathSupported(Crc32Path path);

// The path that Crc32Update uses.
Crc32Path Crc32BestPath();

// Crc32Update forced onto one path; an unsupported path falls back to the
// table code. Meant for tests and benchmarks.
std::uint32_t Crc32UpdateWith(Crc32Path path, std::uint32_t previous, const void* data,
                              std::size_t length);

}  // namespace quarnet
