#include "basic/build.h"

#include <algorithm>
#include <string>

#include "basic/util.h"
#include "package/crc32.h"
#include "package/file_copy.h"
#include "package/item_input.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

// The package is written front to back through one buffer of kBlockSize
// that stands for an aligned block of the file: every write but the last
// covers whole blocks, which the system writes fastest.
class BlockWriter final : public BlockSink {
 public:
  // `block` stands for bytes 0 .. block.size() - 1 of `out` first; filling
  // starts at byte `start` of it, and the bytes before stay zero.
  BlockWriter(OutputFile& out, std::span<std::uint8_t> block, std::size_t start)
      : out_(out), block_(block), filled_(start) {
    std::fill_n(block_.begin(), start, 0);
  }

  // The rest of the current block, to be filled in place.
  std::span<std::uint8_t> Room() override { return block_.subspan(filled_); }

  // `n` more bytes of the room are filled; a full block is written out.
  std::size_t Fill(std::size_t n) override {
    filled_ += n;
    if (filled_ < block_.size()) return n;
    return Flush() ? n : 0;
  }

  bool Put(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const std::size_t piece = std::min(bytes.size(), Room().size());
      std::copy_n(bytes.begin(), piece, Room().begin());
      if (Fill(piece) != piece) return false;
      bytes = bytes.subspan(piece);
    }
    return true;
  }

  // Writes the filled part of the block; the next block follows it.
  bool Flush() {
    const bool written = out_.WriteAt(blockStart_, block_.first(filled_));
    blockStart_ += filled_;
    filled_ = 0;
    return written;
  }

 private:
  OutputFile& out_;
  std::span<std::uint8_t> block_;
  std::uint64_t blockStart_ = 0;
  std::size_t filled_;
};

void AddEfsItem(PackageTables& tables, int position) {
  ItemRecord& record = tables.records[position];
  record = ItemRecord{};  // Index stays 0
  SetText(record.destination, destination::kEfs);
  SetText(record.itemName, item::kEfs);
}

// Streams exactly `item.length` bytes of `file` into `out` and takes their
// CRC on the way, in the buffer they are written from: the CRC is of the
// very bytes written. A file that has grown since its size was taken is
// read only up to that size; one that has shrunk fails.
bool StreamItem(ItemInput& input, ItemSummary& item, BlockWriter& out) {
  item.crc = 0;
  if (CopyBlocks(input.Source(), out, item.length, &item.crc).complete) return true;
  SetFailureFinding(Finding::kItemShrank, {input.name()});
  return false;
}

// Opens the item files and takes their sizes: each must have at least one
// byte, and all together must fit the 32-bit fields. The total size of the
// package, or 0 on failure (reason recorded).
std::uint64_t OpenItems(const PackageTables& tables, int count, std::span<ItemInput> files,
                        std::span<ItemSummary> items, const char* packageName) {
  std::uint64_t total = PackageHeadSize(count + 1) + kEfsRecordSize;
  for (int i = 0; i < count; ++i) {
    std::uint64_t size = 0;
    const char* file = tables.itemFiles[i].data();
    if (!files[i].Open(file) || !files[i].Size(size)) return 0;
    if (size == 0) SetFailureFinding(Finding::kEmptyItem, {file});
    if (size > UINT32_MAX) SetFailureFinding(Finding::kPackageTooLarge, {packageName});
    if (size == 0 || size > UINT32_MAX) return 0;
    items[i].length = static_cast<std::uint32_t>(size);
    total += size;
  }
  // Lengths, offsets and the package size are 32-bit fields.
  if (total > UINT32_MAX) {
    SetFailureFinding(Finding::kPackageTooLarge, {packageName});
    return 0;
  }
  return total;
}

}  // namespace

int BuildPackage(PackageTables& tables, int count, const char* packageName) {
  if (count <= 0 || count >= kMaxItems || packageName == nullptr || *packageName == '\0') return 1;
  // Every size first, from the files as opened: the sizes place the items,
  // and an empty or missing item fails the build before anything is written.
  const int n = count + 1;
  std::array<ItemSummary, kMaxItems> items{};
  std::array<ItemInput, kMaxItems> files;
  const std::uint64_t total = OpenItems(tables, count, files, items, packageName);
  if (total == 0) return 1;
  AddEfsItem(tables, count);
  items[count] = {kEfsRecordSize, Crc32Update(0, kEfsRecord.data(), kEfsRecord.size())};
  tables.header.itemNum += 1;
  OutputFile out(JobWork());
  const auto blockSize = static_cast<std::size_t>(std::min<std::uint64_t>(total, kBlockSize));
  const auto block = AllocateBytes(blockSize);
  if (!block) RecordSystemError("build", packageName, os::kOutOfMemory);
  if (!block || !out.Create(packageName)) return 1;
  // The head goes in last, over the zeros in front of the data.
  BlockWriter writer(out, std::span(block.get(), blockSize), PackageHeadSize(n));
  for (int i = 0; i < count; ++i) {
    if (!StreamItem(files[i], items[i], writer)) return 1;
    // Released once read: an item may be the package's old file, which
    // some systems (Windows) replace only when no one holds it open.
    files[i].Close();
  }
  if (!writer.Put(kEfsRecord) || !writer.Flush()) return 1;
  std::array<std::uint8_t, PackageHeadSize(kMaxItems)> head{};
  const std::span<std::uint8_t> headImage = std::span(head).first(PackageHeadSize(n));
  if (LayoutPackage(tables, std::span(items).first(n), n, headImage) != 0) return 1;
  if (!out.WriteAt(0, headImage)) return 1;
  return out.Commit() ? 0 : 1;
}

int LayoutPackage(PackageTables& tables, std::span<const ItemSummary> items, int count,
                  std::span<std::uint8_t> head) {
  PackageFileHeader& header = tables.header;
  if (count <= 0 || count > kMaxItems || header.itemNum != static_cast<std::uint32_t>(count) ||
      items.size() != static_cast<std::size_t>(count) || head.size() != PackageHeadSize(count)) {
    return 1;
  }
  const std::uint64_t dataStart = PackageHeadSize(count);
  std::uint64_t size = dataStart;
  for (const ItemSummary& item : items) size += item.length;
  if (size > UINT32_MAX) return 1;

  std::uint8_t* const base = head.data();
  auto offset = static_cast<std::uint32_t>(dataStart);
  std::uint32_t dataCrc = 0;  // of all item bytes, joined from the item CRCs
  for (int i = 0; i < count; ++i) {
    ItemRecord& record = tables.records[i];
    record.itemCrc = items[i].crc;
    dataCrc = Crc32Combine(dataCrc, items[i].crc, items[i].length);
    record.itemOffset = offset;
    record.itemLen = items[i].length;
    offset += items[i].length;
    Encode(record, std::span<std::uint8_t, kItemRecordSize>(base + kItemTableOffset + kItemRecordSize * i,
                                                            kItemRecordSize));
  }

  const auto fileHeader = std::span<std::uint8_t, kFileHeaderSize>(base, kFileHeaderSize);
  header.externLen = kExternHeaderSize;
  header.itemInfoLen = kItemRecordSize;
  Encode(tables.externHeader,
         std::span<std::uint8_t, kExternHeaderSize>(base + kFileHeaderSize, kExternHeaderSize));
  Encode(header, fileHeader);
  // Header CRC: from Item Num to the end of the item table.
  header.headerCrc = Crc32Update(0, base + 20, dataStart - 20);
  header.headerLen = static_cast<std::uint32_t>(dataStart - kFileHeaderSize);
  Encode(header, fileHeader);
  // File CRC: from Header Len to the end; Mark and File Len stay outside.
  // The item bytes are covered through their CRCs.
  const std::uint32_t headCrc = Crc32Update(0, base + 12, dataStart - 12);
  header.fileCrc = Crc32Combine(headCrc, dataCrc, size - dataStart);
  header.fileLen = static_cast<std::uint32_t>(size - 76);
  header.mark = kPackageMark;
  Encode(header, fileHeader);
  return 0;
}

}  // namespace quarnet
