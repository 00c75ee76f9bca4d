#pragma once
// The pieces of the chosen files' checks (repack/input_check.h): a file read
// in blocks, and the two kinds of check that walk it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files.h"
#include "repack/input_check.h"

namespace quarnet {

inline constexpr std::size_t kCheckBlockSize = std::size_t{64} << 10;

// An open file read from its start in blocks of one buffer, with the CRC-32
// of the bytes handed out. A failed read and a requested stop end it like
// its end, and say so.
class BlockReader {
 public:
  explicit BlockReader(os::File& file) : file_(file) {}

  // The next block; empty at the end, after a failure or at a stop.
  std::span<const std::uint8_t> Next();
  // The bytes handed out so far, and their CRC-32.
  std::uint64_t offset() const { return offset_; }
  std::uint32_t crc() const { return crc_; }
  // The file was read to its end.
  bool atEnd() const { return atEnd_; }
  // Why reading ended before the end of the file, or empty.
  const std::string& failure() const { return failure_; }

 private:
  os::File& file_;
  std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(kCheckBlockSize);
  std::uint64_t offset_ = 0;
  std::uint32_t crc_ = 0;
  bool atEnd_ = false;
  std::string failure_;
};

// Each fills in the problem, place and detail of `check`, or leaves them
// when the file passes; a read that ended early makes it kUnreadable.
void CheckXml(BlockReader& reader, FileCheck& check);
void CheckPack(BlockReader& reader, FileCheck& check);

}  // namespace quarnet
