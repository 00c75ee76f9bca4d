#include "package/file_copy.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

namespace quarnet {
namespace {

// Large enough that the calls cost nothing beside the bytes, small enough to
// stay in the CPU's caches between the read and the write.
constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

std::uint64_t CopyFileBytes(std::FILE* in, std::uint64_t offset, std::FILE* out, std::uint64_t length) {
  if (length == 0) return 0;
  if (offset > LONG_MAX || std::fseek(in, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  const auto blockSize = static_cast<std::size_t>(std::min<std::uint64_t>(length, kBlockSize));
  const std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[blockSize]);
  if (!block) return 0;
  std::uint64_t copied = 0;
  while (copied < length) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, blockSize));
    const std::size_t got = std::fread(block.get(), 1, want, in);
    const std::size_t put = std::fwrite(block.get(), 1, got, out);
    copied += put;
    if (got < want || put < got) break;
  }
  return copied;
}

}  // namespace quarnet
