#include "tests/support/package_check.h"

#include <gtest/gtest.h>

#include "package/crc32.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {

DecodedPackage DecodeAndVerify(const Bytes& bytes) {
  DecodedPackage p;
  if (bytes.size() < kItemTableOffset) {
    ADD_FAILURE() << "package too short: " << bytes.size();
    return p;
  }
  p.header = DecodeFileHeader(std::span<const std::uint8_t, kFileHeaderSize>(bytes.data(), kFileHeaderSize));
  p.externHeader = DecodeExternHeader(
      std::span<const std::uint8_t, kExternHeaderSize>(bytes.data() + kFileHeaderSize, kExternHeaderSize));
  p.productList = std::string(GetText(p.externHeader.productList));
  const std::uint32_t n = p.header.itemNum;
  EXPECT_EQ(p.header.mark, kPackageMark);
  EXPECT_EQ(p.header.fileLen, bytes.size() - 76);
  EXPECT_EQ(p.header.headerLen, kExternHeaderSize + kItemRecordSize * n);
  EXPECT_EQ(p.header.externLen, kExternHeaderSize);
  EXPECT_EQ(p.header.itemInfoLen, kItemRecordSize);
  EXPECT_EQ(p.header.fileCrc, Crc32Update(0, bytes.data() + 12, bytes.size() - 12));
  if (kItemTableOffset + kItemRecordSize * n > bytes.size()) {
    ADD_FAILURE() << "item table runs past the end";
    return p;
  }
  EXPECT_EQ(p.header.headerCrc, Crc32Update(0, bytes.data() + 20, 144 + kItemRecordSize * n));
  std::size_t offset = kItemTableOffset + kItemRecordSize * n;
  for (std::uint32_t i = 0; i < n; ++i) {
    const auto r = DecodeItemRecord(std::span<const std::uint8_t, kItemRecordSize>(
        bytes.data() + kItemTableOffset + kItemRecordSize * i, kItemRecordSize));
    EXPECT_EQ(r.itemOffset, offset) << "item " << i;
    if (r.itemOffset > bytes.size() || r.itemLen > bytes.size() - r.itemOffset) {
      ADD_FAILURE() << "item " << i << " runs past the end";
      return p;
    }
    Bytes data(bytes.begin() + r.itemOffset, bytes.begin() + r.itemOffset + r.itemLen);
    EXPECT_EQ(r.itemCrc, Crc32Update(0, data.data(), data.size())) << "item " << i;
    offset += r.itemLen;
    p.items.push_back({r, std::move(data)});
  }
  EXPECT_EQ(offset, bytes.size());
  return p;
}

ProcessResult BuildSparsePackage(const std::filesystem::path& dir, std::uint64_t kernelSize, std::uint64_t rootfsSize) {
  WriteText(dir / "u.img", "boot-loader");
  WriteSparseImage(dir / "k.img", kVersion, kHeadKernel, kernelSize);
  WriteSparseImage(dir / "r.img", kVersion, kHeadRootfs, rootfsSize);
  WriteText(dir / "f.img", "1\n");
  return RunProcess(BinPath("packall"), {"-Uu.img", "-Kk.img", "-Rr.img", "-Ff.img"}, dir);
}

DecodedPackage DecodePackageFile(const std::filesystem::path& path) { return DecodeAndVerify(ReadBytes(path)); }

}  // namespace quarnet::test
