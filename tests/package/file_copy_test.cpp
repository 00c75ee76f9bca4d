#include "package/file_copy.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "package/job_control.h"
#include "platform/fault_plan.h"
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
// behind bytes written before; the file writes on at the right place
// afterwards.
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
    InputFile in;
    OutputFile out(Durability::kDurable);
    ASSERT_TRUE(in.Open("in.bin") && out.Create("out.bin"));
    ASSERT_TRUE(out.Write("head"));
    EXPECT_EQ(CopyFileBytes(in, c.offset, &out, c.length), c.copied) << c.offset << "+" << c.length;
    ASSERT_TRUE(out.Write("tail") && out.Commit());
    Bytes expected = BytesOf("head");
    const auto from = source.begin() + static_cast<std::ptrdiff_t>(std::min(c.offset, size));
    expected.insert(expected.end(), from, from + static_cast<std::ptrdiff_t>(c.copied));
    const Bytes tail = BytesOf("tail");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadBytes("out.bin"), expected) << c.offset << "+" << c.length;
  }
}

// Each call of a copy failing in turn shortens the count and names the
// error; a write cut short by the system is completed.
TEST_F(FileCopy, EveryFailedCallShortensTheCount) {
  const Bytes source = test::PatternBytes(kBlockSize + 5);
  WriteBytes("in.bin", source);
  for (std::uint64_t call = 1;; ++call) {
    InputFile in;
    OutputFile out(Durability::kDurable);
    ASSERT_TRUE(in.Open("in.bin") && out.Create("out.bin"));
    ResetJobReport();
    os::SetFaultPlan({call, ENOSPC});
    const std::uint64_t copied = CopyFileBytes(in, 0, &out, source.size());
    const std::uint64_t calls = os::CallCount();
    os::SetFaultPlan({});
    if (call > calls) break;
    EXPECT_LT(copied, source.size()) << call;
    EXPECT_NE(LastJobReport().reason.find("No space left on device"), std::string::npos) << call;
  }
  for (std::uint64_t call = 1; call < 6; ++call) {
    InputFile in;
    OutputFile out(Durability::kDurable);
    ASSERT_TRUE(in.Open("in.bin") && out.Create("out.bin"));
    os::SetFaultPlan({call, 0, true});
    EXPECT_EQ(CopyFileBytes(in, 0, &out, source.size()), source.size());
    os::SetFaultPlan({});
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadBytes("out.bin"), source) << call;
  }
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
  InputFile in;
  ASSERT_TRUE(in.Open("in.bin"));
  WriteSink drop(nullptr, kToEnd);
  FileSource source(in);
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
