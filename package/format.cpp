#include "package/format.h"

#include <algorithm>

#include "package/endian.h"

namespace quarnet {
namespace {

template <std::size_t N>
void PutText(std::uint8_t* out, const std::array<char, N>& field) {
  std::transform(field.begin(), field.end(), out, [](char c) { return static_cast<std::uint8_t>(c); });
}

template <std::size_t N>
void GetField(const std::uint8_t* in, std::array<char, N>& field) {
  std::transform(in, in + N, field.begin(), [](std::uint8_t b) { return static_cast<char>(b); });
}

}  // namespace

void Encode(const PackageFileHeader& h, std::span<std::uint8_t, kFileHeaderSize> out) {
  std::uint8_t* p = out.data();
  StoreLE32(p + 0, h.mark);
  StoreBE32(p + 4, h.fileLen);
  StoreLE32(p + 8, h.fileCrc);
  StoreLE32(p + 12, h.headerLen);
  StoreLE32(p + 16, h.headerCrc);
  StoreLE32(p + 20, h.itemNum);
  p[24] = h.packTotal;
  p[25] = h.packNum;
  StoreLE16(p + 26, h.externLen);
  StoreLE16(p + 28, h.itemInfoLen);
  StoreLE16(p + 30, h.spare);
  StoreLE32(p + 32, h.reserved);
}

PackageFileHeader DecodeFileHeader(std::span<const std::uint8_t, kFileHeaderSize> in) {
  const std::uint8_t* p = in.data();
  PackageFileHeader h;
  h.mark = LoadLE32(p + 0);
  h.fileLen = LoadBE32(p + 4);
  h.fileCrc = LoadLE32(p + 8);
  h.headerLen = LoadLE32(p + 12);
  h.headerCrc = LoadLE32(p + 16);
  h.itemNum = LoadLE32(p + 20);
  h.packTotal = p[24];
  h.packNum = p[25];
  h.externLen = LoadLE16(p + 26);
  h.itemInfoLen = LoadLE16(p + 28);
  h.spare = LoadLE16(p + 30);
  h.reserved = LoadLE32(p + 32);
  return h;
}

void Encode(const ExternFileHeader& h, std::span<std::uint8_t, kExternHeaderSize> out) {
  PutText(out.data(), h.productList);
}

ExternFileHeader DecodeExternHeader(std::span<const std::uint8_t, kExternHeaderSize> in) {
  ExternFileHeader h;
  GetField(in.data(), h.productList);
  return h;
}

void Encode(const ItemRecord& r, std::span<std::uint8_t, kItemRecordSize> out) {
  std::uint8_t* p = out.data();
  StoreLE32(p + 0, r.index);
  StoreLE32(p + 4, r.itemCrc);
  StoreLE32(p + 8, r.itemOffset);
  StoreLE32(p + 12, r.itemLen);
  PutText(p + 16, r.destination);
  PutText(p + 272, r.itemName);
  PutText(p + 288, r.itemVersion);
  StoreLE32(p + 352, r.itemPolicy);
  StoreLE32(p + 356, r.reserved);
}

ItemRecord DecodeItemRecord(std::span<const std::uint8_t, kItemRecordSize> in) {
  const std::uint8_t* p = in.data();
  ItemRecord r;
  r.index = LoadLE32(p + 0);
  r.itemCrc = LoadLE32(p + 4);
  r.itemOffset = LoadLE32(p + 8);
  r.itemLen = LoadLE32(p + 12);
  GetField(p + 16, r.destination);
  GetField(p + 272, r.itemName);
  GetField(p + 288, r.itemVersion);
  r.itemPolicy = LoadLE32(p + 352);
  r.reserved = LoadLE32(p + 356);
  return r;
}

void Encode(const ItemHead& h, std::span<std::uint8_t, kItemHeadSize> out) {
  std::uint8_t* p = out.data();
  StoreLE32(p + 0, h.headMark);
  PutText(p + 4, h.headVersion);
  StoreLE32(p + 68, h.headTime);
  StoreLE32(p + 72, h.headKind);
  StoreLE32(p + 76, h.headDataLen);
  StoreLE32(p + 80, h.headDataCrc);
}

ItemHead DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize> in) {
  const std::uint8_t* p = in.data();
  ItemHead h;
  h.headMark = LoadLE32(p + 0);
  GetField(p + 4, h.headVersion);
  h.headTime = LoadLE32(p + 68);
  h.headKind = LoadLE32(p + 72);
  h.headDataLen = LoadLE32(p + 76);
  h.headDataCrc = LoadLE32(p + 80);
  return h;
}

void Encode(const CompactFileHeader& h, std::span<std::uint8_t, kCompactHeaderSize> out) {
  std::uint8_t* p = out.data();
  StoreLE32(p + 0, h.mark);
  std::copy(h.undefinedA.begin(), h.undefinedA.end(), p + 4);
  StoreLE32(p + 20, h.itemNum);
  std::copy(h.undefinedB.begin(), h.undefinedB.end(), p + 24);
}

CompactFileHeader DecodeCompactHeader(std::span<const std::uint8_t, kCompactHeaderSize> in) {
  const std::uint8_t* p = in.data();
  CompactFileHeader h;
  h.mark = LoadLE32(p + 0);
  std::copy(p + 4, p + 20, h.undefinedA.begin());
  h.itemNum = LoadLE32(p + 20);
  std::copy(p + 24, p + 28, h.undefinedB.begin());
  return h;
}

std::array<char, 5> MarkText(std::uint32_t mark) {
  std::array<char, 5> text{};
  std::uint8_t bytes[4];
  StoreLE32(bytes, mark);
  std::transform(bytes, bytes + 4, text.begin(), [](std::uint8_t b) { return static_cast<char>(b); });
  return text;
}

}  // namespace quarnet
