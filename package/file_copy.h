#pragma once
// Copies file bytes between open streams in large blocks: a few large reads
// and writes cost little beside the bytes themselves, and each write covers
// whole pages of the output file.
#include <cstdint>
#include <cstdio>

namespace quarnet {

// Copies up to `length` bytes of `in`, starting at byte `offset`, to the
// current position of `out`. Returns the number of bytes that reached `out`
// (or its stream buffer): fewer than `length` when `in` ends first or a
// write fails.
std::uint64_t CopyFileBytes(std::FILE* in, std::uint64_t offset, std::FILE* out, std::uint64_t length);

}  // namespace quarnet
