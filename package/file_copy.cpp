#include "package/file_copy.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>

#include "package/crc32.h"
#include "package/job_control.h"

namespace quarnet {

std::size_t StreamSource::Read(std::uint8_t* into, std::size_t size) {
  const std::size_t got = std::fread(into, 1, size, file_);
  if (got < size && std::ferror(file_) != 0) {
    failed_ = true;
    RecordSystemError("read", name_, errno);
  }
  return got;
}

std::size_t FdSource::Read(std::uint8_t* into, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd_, into + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failed_ = true;
      RecordSystemError("read", name_, errno);
    }
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

WriteSink::WriteSink(std::FILE* out, std::string name, std::uint64_t length)
    : stream_(out),
      name_(std::move(name)),
      size_(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBlockSize))),
      block_(new (std::nothrow) std::uint8_t[size_]) {}

WriteSink::WriteSink(int fd, std::string name, std::uint64_t length) : WriteSink(nullptr, std::move(name), length) {
  fd_ = fd;
}

std::size_t WriteSink::Fill(std::size_t n) {
  if (stream_ != nullptr) {
    const std::size_t put = std::fwrite(block_.get(), 1, n, stream_);
    if (put < n) RecordSystemError("write", name_, errno);
    return put;
  }
  std::size_t put = 0;
  while (fd_ >= 0 && put < n) {
    const ssize_t w = ::write(fd_, block_.get() + put, n - put);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      RecordSystemError("write", name_, w < 0 ? errno : EIO);
      break;
    }
    put += static_cast<std::size_t>(w);
  }
  return fd_ >= 0 ? put : n;
}

CopyResult CopyBlocks(ByteSource& in, BlockSink& out, std::uint64_t length, std::uint32_t* crc) {
  CopyResult r;
  while (r.copied < length) {
    if (CancelRequested()) {
      SetFailureReason("cancelled");
      return r;
    }
    const std::span<std::uint8_t> room = out.Room();
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length - r.copied, room.size()));
    const std::size_t got = in.Read(room.data(), want);
    if (crc != nullptr) *crc = Crc32Update(*crc, room.data(), got);
    const std::size_t taken = got > 0 ? out.Fill(got) : 0;
    r.copied += taken;
    AdvanceProgress(taken);
    if (taken < got) return r;
    if (got < want) {
      r.complete = length == kToEnd && !in.failed();
      return r;
    }
  }
  r.complete = true;
  return r;
}

std::uint64_t CopyFileBytes(std::FILE* in, const std::string& inName, std::uint64_t offset, std::FILE* out,
                            const std::string& outName, std::uint64_t length) {
  if (length == 0) return 0;
  if (offset > LONG_MAX || std::fseek(in, static_cast<long>(offset), SEEK_SET) != 0) {
    RecordSystemError("seek", inName, offset > LONG_MAX ? EOVERFLOW : errno);
    return 0;
  }
  StreamSource source(in, inName);
  WriteSink sink(out, outName, length);
  if (!sink.ok()) {
    RecordSystemError("copy", outName, ENOMEM);
    return 0;
  }
  return CopyBlocks(source, sink, length).copied;
}

}  // namespace quarnet
