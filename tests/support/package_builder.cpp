#include "tests/support/package_builder.h"

#include <algorithm>
#include <span>

#include "package/crc32.h"
#include "package/format.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

ItemRecord RecordOf(const TestItem& item, std::uint32_t index, std::uint32_t offset) {
  ItemRecord r;
  r.index = item.name == item::kEfs ? 0 : index;
  r.itemCrc = Crc32Update(0, item.data.data(), item.data.size());
  r.itemOffset = offset;
  r.itemLen = static_cast<std::uint32_t>(item.data.size());
  SetText(r.destination, item.destination);
  SetText(r.itemName, item.name);
  SetText(r.itemVersion, item.version);
  r.itemPolicy = item.policy;
  return r;
}

// Appends the records and the data of `items` to `out`, whose size must be
// the offset of the item table.
void AppendTableAndData(Bytes& out, const std::vector<TestItem>& items) {
  std::uint32_t offset = static_cast<std::uint32_t>(out.size() + kItemRecordSize * items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::array<std::uint8_t, kItemRecordSize> image{};
    Encode(RecordOf(items[i], static_cast<std::uint32_t>(i), offset), image);
    out.insert(out.end(), image.begin(), image.end());
    offset += static_cast<std::uint32_t>(items[i].data.size());
  }
  for (const auto& item : items) out.insert(out.end(), item.data.begin(), item.data.end());
}

}  // namespace

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes PatternBytes(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + (i >> 11));
  return b;
}

Bytes LayOutPackage(const std::vector<TestItem>& items, const std::string& productList) {
  Bytes out(kItemTableOffset, 0);
  ExternFileHeader ext;
  SetText(ext.productList, productList);
  Encode(ext, std::span<std::uint8_t, kExternHeaderSize>(out.data() + kFileHeaderSize, kExternHeaderSize));
  AppendTableAndData(out, items);

  const auto n = static_cast<std::uint32_t>(items.size());
  PackageFileHeader h;
  h.mark = kPackageMark;
  h.itemNum = n;
  h.externLen = kExternHeaderSize;
  h.itemInfoLen = kItemRecordSize;
  h.headerLen = static_cast<std::uint32_t>(kExternHeaderSize + kItemRecordSize * n);
  auto header = std::span<std::uint8_t, kFileHeaderSize>(out.data(), kFileHeaderSize);
  Encode(h, header);
  h.headerCrc = Crc32Update(0, out.data() + 20, 144 + kItemRecordSize * n);
  Encode(h, header);
  h.fileCrc = Crc32Update(0, out.data() + 12, out.size() - 12);
  h.fileLen = static_cast<std::uint32_t>(out.size() - 76);
  Encode(h, header);
  return out;
}

Bytes LayOutCompactPackage(const std::vector<TestItem>& items) {
  Bytes out(kCompactHeaderSize, 0);
  CompactFileHeader h;
  h.mark = kCompactMark;
  h.itemNum = static_cast<std::uint32_t>(items.size());
  Encode(h, std::span<std::uint8_t, kCompactHeaderSize>(out.data(), kCompactHeaderSize));
  AppendTableAndData(out, items);
  return out;
}

TestItem EfsItem() {
  return {item::kEfs, destination::kEfs, Bytes(kEfsRecord.begin(), kEfsRecord.end()), "", 0};
}

Bytes WithItemHead(const std::string& version, std::uint32_t kind, const Bytes& payload, std::uint32_t time) {
  ItemHead h;
  h.headMark = kHeadMark;
  SetText(h.headVersion, version);
  h.headTime = time;
  h.headKind = kind;
  h.headDataLen = static_cast<std::uint32_t>(payload.size());
  h.headDataCrc = Crc32Update(0, payload.data(), payload.size());
  Bytes out(kItemHeadSize);
  Encode(h, std::span<std::uint8_t, kItemHeadSize>(out.data(), kItemHeadSize));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

void WriteSparseImage(const std::filesystem::path& path, const std::string& version, std::uint32_t kind,
                      std::uint64_t size) {
  const std::uint64_t payload = size - kItemHeadSize;
  // The CRC of the zeros, joined from that of one block.
  const Bytes zeros(1 << 20);
  const std::uint32_t blockCrc = Crc32Update(0, zeros.data(), zeros.size());
  std::uint32_t crc = 0;
  for (std::uint64_t done = 0; done < payload; done += zeros.size()) {
    const std::uint64_t piece = std::min<std::uint64_t>(zeros.size(), payload - done);
    crc = Crc32Combine(crc, piece == zeros.size() ? blockCrc : Crc32Update(0, zeros.data(), piece), piece);
  }
  Bytes head = WithItemHead(version, kind, {});
  ItemHead h = DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize>(head.data(), kItemHeadSize));
  h.headDataLen = static_cast<std::uint32_t>(payload);
  h.headDataCrc = crc;
  Encode(h, std::span<std::uint8_t, kItemHeadSize>(head.data(), kItemHeadSize));
  WriteBytes(path, head);
  std::filesystem::resize_file(path, size);
}

}  // namespace quarnet::test
