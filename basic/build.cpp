#include "basic/build.h"

#include <algorithm>
#include <cstdio>

#include "basic/crc_combine.h"
#include "basic/naming.h"
#include "basic/util.h"
#include "package/crc32.h"

namespace quarnet {
namespace {

constexpr std::uint64_t DataStart(int count) { return kItemTableOffset + kItemRecordSize * count; }

void AddEfsItem(PackageTables& tables, int position) {
  ItemRecord& record = tables.records[position];
  record = ItemRecord{};  // Index stays 0
  SetText(record.destination, destination::kEfs);
  SetText(record.itemName, item::kEfs);
}

// Reads exactly `length` bytes of `path` into `out`; a file that has grown
// since its size was taken is read only up to that size.
bool ReadItem(const char* path, std::uint8_t* out, std::uint32_t length) {
  const FilePtr file = OpenInputFile(path);
  if (!file) return false;
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return std::fread(out, 1, length, file.get()) == length;
}

// One write of the whole image; a package that was not written completely
// is removed, so that no partial file carries a finished package's name.
bool WritePackage(const char* packageName, std::span<const std::uint8_t> image) {
  FilePtr out = OpenFile(packageName, "w+b");
  if (!out) return false;
  std::setvbuf(out.get(), nullptr, _IONBF, 0);
  const bool written = std::fwrite(image.data(), 1, image.size(), out.get()) == image.size();
  if (CloseFile(std::move(out)) && written) return true;
  std::remove(packageName);
  return false;
}

}  // namespace

int BuildPackage(PackageTables& tables, int count, const char* packageName) {
  if (count <= 0 || count >= kMaxItems || packageName == nullptr || *packageName == '\0') return 1;

  // Every size first, so the output image is reserved once and each item is
  // read straight into its place.
  std::array<std::uint32_t, kMaxItems> lengths{};
  std::uint64_t total = DataStart(count + 1) + kEfsRecordSize;
  for (int i = 0; i < count; ++i) {
    std::uint64_t size = 0;
    ReadFileSize(tables.itemFiles[i].data(), size);  // unreadable counts as empty
    if (size == 0 || size > UINT32_MAX) return 1;
    lengths[i] = static_cast<std::uint32_t>(size);
    total += size;
  }
  // Lengths, offsets and the package size are 32-bit fields.
  if (total > UINT32_MAX) return 1;

  AddEfsItem(tables, count);
  lengths[count] = kEfsRecordSize;
  tables.header.itemNum += 1;

  const auto image = AllocateBytes(static_cast<std::size_t>(total));
  if (!image) return 1;
  const std::span<std::uint8_t> out(image.get(), static_cast<std::size_t>(total));
  std::uint64_t offset = DataStart(count + 1);
  std::fill_n(out.begin(), offset, 0);
  for (int i = 0; i < count; ++i) {
    if (!ReadItem(tables.itemFiles[i].data(), out.data() + offset, lengths[i])) return 1;
    offset += lengths[i];
  }
  std::copy(kEfsRecord.begin(), kEfsRecord.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));

  const int n = count + 1;
  if (LayoutPackage(tables, std::span(lengths).first(n), n, out) != 0) return 1;
  return WritePackage(packageName, out) ? 0 : 1;
}

int LayoutPackage(PackageTables& tables, std::span<const std::uint32_t> lengths, int count,
                  std::span<std::uint8_t> image) {
  PackageFileHeader& header = tables.header;
  if (count <= 0 || count > kMaxItems || header.itemNum != static_cast<std::uint32_t>(count) ||
      lengths.size() != static_cast<std::size_t>(count)) {
    return 1;
  }
  const std::uint64_t dataStart = DataStart(count);
  std::uint64_t size = dataStart;
  for (const std::uint32_t length : lengths) size += length;
  if (size != image.size() || size > UINT32_MAX) return 1;

  std::uint8_t* const base = image.data();
  auto offset = static_cast<std::uint32_t>(dataStart);
  std::uint32_t dataCrc = 0;  // of all item bytes, joined from the item CRCs
  for (int i = 0; i < count; ++i) {
    ItemRecord& record = tables.records[i];
    record.itemCrc = Crc32Update(0, base + offset, lengths[i]);
    dataCrc = Crc32Combine(dataCrc, record.itemCrc, lengths[i]);
    record.itemOffset = offset;
    record.itemLen = lengths[i];
    offset += lengths[i];
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
  // The item bytes are not read again: their CRC is joined on.
  const std::uint32_t tablesCrc = Crc32Update(0, base + 12, dataStart - 12);
  header.fileCrc = Crc32Combine(tablesCrc, dataCrc, image.size() - dataStart);
  header.fileLen = static_cast<std::uint32_t>(image.size() - 76);
  header.mark = kPackageMark;
  Encode(header, fileHeader);
  return 0;
}

}  // namespace quarnet
