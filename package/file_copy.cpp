#include "package/file_copy.h"

#include <algorithm>
#include <climits>
#include <vector>

#if defined(__linux__)
#include <unistd.h>

#include <cerrno>
#endif

namespace quarnet {
namespace {

// Large enough that the system calls cost nothing beside the bytes, small
// enough to stay in the CPU's caches.
constexpr std::size_t kBlockSize = 1 << 20;

#if defined(__linux__)

// Errors with which the kernel declines to copy between these two files, as
// opposed to a copy that fails (a full disk, a read error).
bool KernelDeclines(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF;
}

// Copies through the kernel until `length` bytes are copied, a write fails
// or the kernel declines; `declined` tells the last apart. Reading 0 bytes
// counts as declined: pseudo-files report no data to the kernel copy, and
// at a true end the streams find nothing either.
std::uint64_t CopyThroughKernel(std::FILE* in, std::uint64_t offset, std::FILE* out, std::uint64_t length,
                                bool& declined) {
  declined = true;
  if (std::fflush(out) != 0) return 0;
  const int inFd = ::fileno(in);
  const int outFd = ::fileno(out);
  auto from = static_cast<off64_t>(offset);
  std::uint64_t copied = 0;
  while (copied < length) {
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, 1u << 30));
    const ssize_t n = ::copy_file_range(inFd, &from, outFd, nullptr, chunk, 0);
    if (n > 0) {
      copied += static_cast<std::uint64_t>(n);
    } else if (n == 0 || errno != EINTR) {
      declined = n == 0 || KernelDeclines(errno);
      break;
    }
  }
  return copied;
}

#endif

}  // namespace

std::uint64_t CopyFileBytesThroughStreams(std::FILE* in, std::uint64_t offset, std::FILE* out,
                                          std::uint64_t length) {
  if (length == 0) return 0;
  if (offset > LONG_MAX || std::fseek(in, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  std::vector<unsigned char> block(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBlockSize)));
  std::uint64_t copied = 0;
  while (copied < length) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, block.size()));
    const std::size_t got = std::fread(block.data(), 1, want, in);
    const std::size_t put = std::fwrite(block.data(), 1, got, out);
    copied += put;
    if (got < want || put < got) break;
  }
  return copied;
}

std::uint64_t CopyFileBytes(std::FILE* in, std::uint64_t offset, std::FILE* out, std::uint64_t length) {
  std::uint64_t copied = 0;
#if defined(__linux__)
  bool declined = false;
  copied = CopyThroughKernel(in, offset, out, length, declined);
  if (!declined) return copied;
#endif
  return copied + CopyFileBytesThroughStreams(in, offset + copied, out, length - copied);
}

}  // namespace quarnet
