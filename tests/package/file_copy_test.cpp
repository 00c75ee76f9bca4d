#include "package/file_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "package/file.h"
#include "tests/support/faults.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::WriteBytes;

using CopyFunction = std::uint64_t (*)(std::FILE*, std::uint64_t, std::FILE*, std::uint64_t);

struct CopyPath {
  const char* name;
  CopyFunction copy;
};

class FileCopy : public test::InTempDir, public ::testing::WithParamInterface<CopyPath> {};

// Pieces of a source of 3 MiB + 17 bytes (more than one block of the stream
// path), copied behind bytes that the output stream already holds in its
// buffer; the stream writes on at the right place afterwards.
TEST_P(FileCopy, CopiesTheAskedPieceAndNoMore) {
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
    EXPECT_EQ(GetParam().copy(in.get(), c.offset, out.get(), c.length), c.copied) << c.offset << "+" << c.length;
    std::fputs("tail", out.get());
    out.reset();
    Bytes expected = test::BytesOf("head");
    const auto from = source.begin() + static_cast<std::ptrdiff_t>(std::min(c.offset, size));
    expected.insert(expected.end(), from, from + static_cast<std::ptrdiff_t>(c.copied));
    const Bytes tail = test::BytesOf("tail");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadBytes("out.bin"), expected) << c.offset << "+" << c.length;
  }
}

TEST_P(FileCopy, WriteFailureShortensTheCount) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteBytes("in.bin", test::PatternBytes(1 << 20));
  const FilePtr in = OpenFile("in.bin", "rb");
  const FilePtr out = OpenFile("/dev/full", "wb");
  ASSERT_TRUE(in && out);
  EXPECT_LT(GetParam().copy(in.get(), 0, out.get(), 1 << 20), 1u << 20);
}

// Sources on another file system than the output, and pseudo-files whose
// size reads as 0 although they have content.
TEST_P(FileCopy, SourcesTheKernelCannotCopy) {
  test::ShmDir shm;
  if (shm.path().empty()) GTEST_SKIP() << "no /dev/shm";
  const Bytes source = test::PatternBytes(100000);
  WriteBytes(shm.path() / "in.bin", source);
  std::vector<std::pair<std::string, Bytes>> sources = {{(shm.path() / "in.bin").string(), source}};
  if (std::filesystem::exists("/proc/version")) sources.emplace_back("/proc/version", ReadBytes("/proc/version"));
  for (const auto& [path, expected] : sources) {
    const FilePtr in = OpenFile(path.c_str(), "rb");
    FilePtr out = OpenFile("out.bin", "wb");
    ASSERT_TRUE(in && out) << path;
    EXPECT_EQ(GetParam().copy(in.get(), 0, out.get(), 1 << 20), expected.size()) << path;
    out.reset();
    EXPECT_EQ(ReadBytes("out.bin"), expected) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, FileCopy,
                         ::testing::Values(CopyPath{"Best", CopyFileBytes},
                                           CopyPath{"Streams", CopyFileBytesThroughStreams}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarnet
