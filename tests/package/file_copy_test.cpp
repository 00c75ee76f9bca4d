#include "package/file_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "package/file.h"
#include "package/job_control.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet {
namespace {

using test::Bytes;
using test::BytesOf;
using test::ReadBytes;
using test::WriteBytes;

using FileCopy = test::InTempDir;

// Pieces of a source of 3 MiB + 17 bytes (more than one copy block), copied
// behind bytes that the output stream still holds in its buffer; the stream
// writes on at the right place afterwards.
TEST_F(FileCopy, CopiesTheAskedPieceAndNoMore) {
  const Bytes source = test::PatternBytes((3 << 20) + 17);
  WriteBytes("in.bin", source);
  struct Case {
    std::uint64_t offset, length, copied;
  };
  const std::uint64_t size = source.size();
  for (const Case& c : {Case{0, size, size}, Case{1000, 1 << 20, 1 << 20}, Case{5, 0, 0},
                        Case{size - 10, 100, 10},  // the source ends first
                        Case{size, 1, 0}, Case{size + 4096, 50, 0}}) {
    const FilePtr in = OpenFile("in.bin", "rb");
    FilePtr out = OpenFile("out.bin", "wb");
    ASSERT_TRUE(in && out);
    std::fputs("head", out.get());
    EXPECT_EQ(CopyFileBytes(in.get(), "in.bin", c.offset, out.get(), "out.bin", c.length), c.copied) << c.offset << "+" << c.length;
    std::fputs("tail", out.get());
    out.reset();
    Bytes expected = BytesOf("head");
    const auto from = source.begin() + static_cast<std::ptrdiff_t>(std::min(c.offset, size));
    expected.insert(expected.end(), from, from + static_cast<std::ptrdiff_t>(c.copied));
    const Bytes tail = BytesOf("tail");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadBytes("out.bin"), expected) << c.offset << "+" << c.length;
  }
}

TEST_F(FileCopy, WriteFailureShortensTheCount) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteBytes("in.bin", test::PatternBytes(1 << 20));
  const FilePtr in = OpenFile("in.bin", "rb");
  const FilePtr out = OpenFile("/dev/full", "wb");
  ASSERT_TRUE(in && out);
  ResetJobReport();
  EXPECT_LT(CopyFileBytes(in.get(), "in.bin", 0, out.get(), "/dev/full", 1 << 20), 1u << 20);
  EXPECT_EQ(LastJobReport().reason, "write /dev/full: No space left on device");
}

// Every block counts as progress; a stop request ends the copy before the
// next block and says so.
TEST_F(FileCopy, ProgressPerBlockAndCancelBeforeTheNext) {
  WriteBytes("in.bin", test::PatternBytes(3 * kBlockSize + 5));
  std::vector<std::uint64_t> done;
  const ProgressSink previous = SetProgressSink([&](std::uint64_t d, std::uint64_t) {
    done.push_back(d);
    if (d >= 2 * kBlockSize) RequestCancel();
  });
  ResetJobReport();
  BeginProgress(10 * kBlockSize);
  const FilePtr in = OpenFile("in.bin", "rb");
  WriteSink drop(static_cast<std::FILE*>(nullptr), "nowhere", kToEnd);
  StreamSource source(in.get(), "in.bin");
  const CopyResult r = CopyBlocks(source, drop, kToEnd);
  EndProgress();
  ResetCancel();
  SetProgressSink(previous);
  EXPECT_EQ(r.copied, 2 * kBlockSize);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(done, (std::vector<std::uint64_t>{0, kBlockSize, 2 * kBlockSize, 10 * kBlockSize}));
  EXPECT_EQ(LastJobReport().reason, "cancelled");
}

}  // namespace
}  // namespace quarnet
