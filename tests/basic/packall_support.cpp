#include "tests/basic/packall_support.h"

#include <gtest/gtest.h>

#include <span>

#include "basic/packall.h"
#include "package/crc32.h"
#include "package/output.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {

PackAllRun RunPackAll(const std::vector<std::string>& args) {
  std::vector<const char*> argv{nullptr};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  PackAllRun run;
  ScopedOutputSink sink([&run](std::string_view text) { run.output += text; });
  run.result = PackAll(static_cast<int>(argv.size()), argv.data());
  return run;
}

std::string ErrorLine(int line) { return "[..\\basic\\PackAll]<" + std::to_string(line) + ">@\r\n"; }

std::string Repeat(std::size_t n, char c) { return std::string(n, c); }

DecodedPackage DecodePackageFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  DecodedPackage p;
  if (bytes.size() < kItemTableOffset) {
    ADD_FAILURE() << path << " is too short for a package";
    return p;
  }
  p.header = DecodeFileHeader(std::span<const std::uint8_t, kFileHeaderSize>(bytes.data(), kFileHeaderSize));
  p.externHeader = DecodeExternHeader(
      std::span<const std::uint8_t, kExternHeaderSize>(bytes.data() + kFileHeaderSize, kExternHeaderSize));
  const std::size_t n = p.header.itemNum;
  const std::size_t dataStart = kItemTableOffset + kItemRecordSize * n;
  if (n > static_cast<std::size_t>(kMaxItems) || bytes.size() < dataStart) {
    ADD_FAILURE() << path << ": bad Item Num " << n;
    return p;
  }
  bool ok = p.header.headerCrc == Crc32Update(0, bytes.data() + 20, dataStart - 20) &&
            p.header.fileCrc == Crc32Update(0, bytes.data() + 12, bytes.size() - 12);
  std::size_t expectedOffset = dataStart;
  for (std::size_t i = 0; i < n; ++i) {
    const ItemRecord r = DecodeItemRecord(std::span<const std::uint8_t, kItemRecordSize>(
        bytes.data() + kItemTableOffset + kItemRecordSize * i, kItemRecordSize));
    EXPECT_EQ(r.itemOffset, expectedOffset) << "item " << i;
    if (r.itemOffset > bytes.size() || r.itemLen > bytes.size() - r.itemOffset) {
      ADD_FAILURE() << "item " << i << " outside the file";
      return p;
    }
    p.data.emplace_back(bytes.begin() + r.itemOffset, bytes.begin() + r.itemOffset + r.itemLen);
    ok = ok && r.itemCrc == Crc32Update(0, p.data.back().data(), r.itemLen);
    expectedOffset = std::size_t{r.itemOffset} + r.itemLen;
    p.records.push_back(r);
  }
  EXPECT_EQ(expectedOffset, bytes.size()) << "item data must end the file";
  p.checksumsOk = ok;
  return p;
}

}  // namespace quarnet::test
