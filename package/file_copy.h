#pragma once
// Copies file bytes between open streams. On Linux the kernel copies from
// page cache to page cache (copy_file_range), so the bytes never pass through
// this process; where the kernel declines (files on different file systems,
// devices) and on other platforms, the copy runs through the streams in
// large blocks. This file and its .cpp are the only places of the package
// layer that call the operating system directly.
#include <cstdint>
#include <cstdio>

namespace quarnet {

// Copies up to `length` bytes of `in`, starting at byte `offset`, to the
// current position of `out`, which must have no unwritten reads or writes
// pending in a different place. The position of `in` is left undefined.
// Returns the number of bytes that reached `out` (or its stream buffer):
// fewer than `length` when `in` ends first or a write fails.
std::uint64_t CopyFileBytes(std::FILE* in, std::uint64_t offset, std::FILE* out, std::uint64_t length);

// The same copy, through the streams only: the path taken where the kernel
// cannot copy. Meant for tests.
std::uint64_t CopyFileBytesThroughStreams(std::FILE* in, std::uint64_t offset, std::FILE* out,
                                          std::uint64_t length);

}  // namespace quarnet
