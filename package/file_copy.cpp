#include "package/file_copy.h"

#include <algorithm>
#include <new>

#include "package/crc32.h"
#include "package/job_control.h"

namespace quarnet {

std::size_t FileSource::Read(std::uint8_t* into, std::size_t size) {
  const std::size_t got = file_.Read(std::span(into, size));
  failed_ = file_.failed();
  return got;
}

WriteSink::WriteSink(OutputFile* out, std::uint64_t length)
    : out_(out),
      size_(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBlockSize))),
      block_(new (std::nothrow) std::uint8_t[size_]) {
  if (!ok()) RecordSystemError("copy", out != nullptr ? out->name() : "a block", os::kOutOfMemory);
}

std::size_t WriteSink::Fill(std::size_t n) {
  if (out_ == nullptr) return n;
  return out_->Write(std::span<const std::uint8_t>(block_.get(), n)) ? n : 0;
}

CopyResult CopyBlocks(ByteSource& in, BlockSink& out, std::uint64_t length, std::uint32_t* crc) {
  CopyResult r;
  while (r.copied < length) {
    if (CancelRequested()) {
      SetFailureReason("cancelled", FailureKind::kCancelled);
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

std::uint64_t CopyFileBytes(InputFile& in, std::uint64_t offset, OutputFile* out, std::uint64_t length,
                            std::uint32_t* crc) {
  if (length == 0 || !in.Seek(offset)) return 0;
  FileSource source(in);
  WriteSink sink(out, length);
  return sink.ok() ? CopyBlocks(source, sink, length, crc).copied : 0;
}

}  // namespace quarnet
