#pragma once
// The engine's one block-copy loop. Bytes move from a source into the room
// of a sink in blocks of kBlockSize: a few large reads and writes cost little
// beside the bytes themselves, and each write covers whole pages of the
// output file. Every block counts as progress of the running job
// (AdvanceProgress), a stop request ends the copy before the next block
// (reason "cancelled"), and a failing call records its reason under the
// file's name.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "package/files.h"

namespace quarnet {

// Large enough that the calls cost nothing beside the bytes, small enough to
// stay in the CPU's caches between the read, the CRC and the write.
inline constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// A length that copies up to the end of the source.
inline constexpr std::uint64_t kToEnd = std::numeric_limits<std::uint64_t>::max();

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `into`. Fewer only at the end of the
  // source or after a failure, which failed() then tells.
  virtual std::size_t Read(std::uint8_t* into, std::size_t size) = 0;
  bool failed() const { return failed_; }

 protected:
  bool failed_ = false;
};

// A file, read from its current position.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(InputFile& file) : file_(file) {}
  std::size_t Read(std::uint8_t* into, std::size_t size) override;

 private:
  InputFile& file_;
};

// Where the bytes go: room in a block, written out as it fills.
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  // Room for the next bytes; never empty while bytes are to come.
  virtual std::span<std::uint8_t> Room() = 0;
  // The first `n` bytes of Room() are filled. Returns how many of them the
  // sink took: `n`, or fewer when a write failed.
  virtual std::size_t Fill(std::size_t n) = 0;
};

// A block of its own in front of an output file; each filled piece is
// written at once. With `out` null, the bytes are dropped: a pass that only
// takes their CRC.
class WriteSink final : public BlockSink {
 public:
  // The block holds min(length, kBlockSize) bytes; ok() is false when that
  // memory is not there (reason recorded).
  WriteSink(OutputFile* out, std::uint64_t length);
  bool ok() const { return block_ != nullptr || size_ == 0; }
  std::span<std::uint8_t> Room() override { return {block_.get(), size_}; }
  std::size_t Fill(std::size_t n) override;

 private:
  OutputFile* out_;
  std::size_t size_ = 0;
  std::unique_ptr<std::uint8_t[]> block_;
};

struct CopyResult {
  std::uint64_t copied = 0;  // bytes that the sink took
  bool complete = false;     // all `length` bytes; for kToEnd, up to an end without a failure
};

// Copies `length` bytes (or kToEnd) from `in` to `out`, each block taken
// into `*crc` (when given) in the room it is written from, so the CRC is of
// the very bytes written. Stops at the first short read, failed write or
// stop request.
CopyResult CopyBlocks(ByteSource& in, BlockSink& out, std::uint64_t length, std::uint32_t* crc = nullptr);

// Copies up to `length` bytes of `in`, starting at byte `offset`, to the
// current position of `out` (null: nowhere), taking their CRC into `*crc`
// when given. Returns the number of bytes that reached `out`: fewer than
// `length` when `in` ends first or a call fails.
std::uint64_t CopyFileBytes(InputFile& in, std::uint64_t offset, OutputFile* out, std::uint64_t length,
                            std::uint32_t* crc = nullptr);

}  // namespace quarnet
