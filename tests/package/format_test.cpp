#include "package/format.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "package/endian.h"

namespace quarnet {
namespace {

template <std::size_t N>
std::array<std::uint8_t, N> RandomImage(std::mt19937& rng) {
  std::array<std::uint8_t, N> image{};
  for (auto& b : image) b = static_cast<std::uint8_t>(rng());
  return image;
}

// Decoding then encoding any image gives the same bytes back: every byte of
// every structure belongs to exactly one field, text fields included.
TEST(Format, EveryStructureRoundTripsAnyImage) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    const auto fh = RandomImage<kFileHeaderSize>(rng);
    std::array<std::uint8_t, kFileHeaderSize> fhOut{};
    Encode(DecodeFileHeader(fh), fhOut);
    EXPECT_EQ(fhOut, fh);

    const auto ext = RandomImage<kExternHeaderSize>(rng);
    std::array<std::uint8_t, kExternHeaderSize> extOut{};
    Encode(DecodeExternHeader(ext), extOut);
    EXPECT_EQ(extOut, ext);

    const auto rec = RandomImage<kItemRecordSize>(rng);
    std::array<std::uint8_t, kItemRecordSize> recOut{};
    Encode(DecodeItemRecord(rec), recOut);
    EXPECT_EQ(recOut, rec);

    const auto head = RandomImage<kItemHeadSize>(rng);
    std::array<std::uint8_t, kItemHeadSize> headOut{};
    Encode(DecodeItemHead(head), headOut);
    EXPECT_EQ(headOut, head);

    const auto compact = RandomImage<kCompactHeaderSize>(rng);
    std::array<std::uint8_t, kCompactHeaderSize> compactOut{};
    Encode(DecodeCompactHeader(compact), compactOut);
    EXPECT_EQ(compactOut, compact);
  }
}

TEST(Format, FileHeaderFieldPositions) {
  PackageFileHeader h;
  h.mark = kPackageMark;
  h.fileLen = 976;
  h.fileCrc = 0x11223344;
  h.headerLen = 848;
  h.headerCrc = 0x55667788;
  h.itemNum = 2;
  h.packTotal = static_cast<std::uint8_t>(300);
  h.packNum = 7;
  h.externLen = 128;
  h.itemInfoLen = 360;
  h.spare = 0xA1A2;
  h.reserved = 0xB1B2B3B4;
  std::array<std::uint8_t, kFileHeaderSize> image{};
  Encode(h, image);
  const std::vector<std::uint8_t> expected = {
      'Q',  'Z',  'N',  'P',  0x00, 0x00, 0x03, 0xD0, 0x44, 0x33, 0x22, 0x11, 0x50, 0x03, 0x00, 0x00, 0x88, 0x77,
      0x66, 0x55, 0x02, 0x00, 0x00, 0x00, 44,   7,    0x80, 0x00, 0x68, 0x01, 0xA2, 0xA1, 0xB4, 0xB3, 0xB2, 0xB1};
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.end()), expected);
  const PackageFileHeader back = DecodeFileHeader(image);
  EXPECT_EQ(back.fileLen, 976u);
  EXPECT_EQ(back.packTotal, 44);
  EXPECT_EQ(back.spare, 0xA1A2);
  EXPECT_EQ(back.reserved, 0xB1B2B3B4u);
}

TEST(Format, ItemRecordFieldPositions) {
  ItemRecord r;
  r.index = 1;
  r.itemCrc = 0x80000001;
  r.itemOffset = 884;
  r.itemLen = 100;
  SetText(r.destination, destination::kKernel);
  SetText(r.itemName, item::kKernel);
  SetText(r.itemVersion, "V1");
  r.itemPolicy = 2;
  r.reserved = 0xCAFE;
  std::array<std::uint8_t, kItemRecordSize> image{};
  Encode(r, image);
  EXPECT_EQ(LoadLE32(&image[0]), 1u);
  EXPECT_EQ(LoadLE32(&image[4]), 0x80000001u);
  EXPECT_EQ(LoadLE32(&image[8]), 884u);
  EXPECT_EQ(LoadLE32(&image[12]), 100u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[16])), "flash:kernel");
  EXPECT_EQ(image[16 + 255], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[272])), "KERNEL");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[288])), "V1");
  EXPECT_EQ(LoadLE32(&image[352]), 2u);
  EXPECT_EQ(LoadLE32(&image[356]), 0xCAFEu);
  const ItemRecord back = DecodeItemRecord(image);
  EXPECT_EQ(GetText(back.destination), "flash:kernel");
  EXPECT_EQ(GetText(back.itemName), "KERNEL");
  EXPECT_EQ(back.itemPolicy, 2u);
}

TEST(Format, ItemHeadAndCompactHeaderFieldPositions) {
  ItemHead h;
  h.headMark = kHeadMark;
  SetText(h.headVersion, "V100R002C00");
  h.headTime = 1368000000;
  h.headKind = kHeadRootfs;
  h.headDataLen = 12;
  h.headDataCrc = 0xDEADBEEF;
  std::array<std::uint8_t, kItemHeadSize> head{};
  Encode(h, head);
  EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "zqzq");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&head[4])), "V100R002C00");
  EXPECT_EQ(LoadLE32(&head[68]), 1368000000u);
  EXPECT_EQ(LoadLE32(&head[72]), 2u);
  EXPECT_EQ(LoadLE32(&head[76]), 12u);
  EXPECT_EQ(LoadLE32(&head[80]), 0xDEADBEEFu);

  std::array<std::uint8_t, kCompactHeaderSize> compact{};
  compact[0] = 'Q', compact[1] = 'Z', compact[2] = 'T', compact[3] = 'P';
  compact[5] = 0x99;
  compact[20] = 2;
  compact[27] = 0x77;
  const CompactFileHeader c = DecodeCompactHeader(compact);
  EXPECT_EQ(c.mark, kCompactMark);
  EXPECT_EQ(c.itemNum, 2u);
  EXPECT_EQ(c.undefinedA[1], 0x99);
  EXPECT_EQ(c.undefinedB[3], 0x77);
}

}  // namespace
}  // namespace quarnet
