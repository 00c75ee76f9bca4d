#include "package/inspect.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "package/crc32.h"
#include "package/endian.h"
#include "package/file_copy.h"
#include "package/job_control.h"

namespace quarnet {
namespace {


// Random access to the bytes under inspection. Read fails for any range that
// is not wholly inside them.
class Source {
 public:
  virtual ~Source() = default;
  virtual std::uint64_t Size() const = 0;
  virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource : public Source {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

class PackageFileSource : public Source {
 public:
  PackageFileSource(InputFile& file, std::uint64_t size) : file_(file), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > size_ || out.size() > size_ - offset) return false;
    return file_.ReadAt(offset, out) == out.size();
  }

 private:
  InputFile& file_;
  std::uint64_t size_;
};

std::string Format(const char* format, std::uint64_t a, std::uint64_t b = 0) {
  std::array<char, 96> text{};
  std::snprintf(text.data(), text.size(), format, a, b);
  return text.data();
}

std::string HexDec(std::uint64_t value) { return Format("0x%08" PRIx64 " (%" PRIu64 ")", value, value); }
std::string Dec(std::uint64_t value) { return Format("%" PRIu64, value); }
std::string Bytes(std::uint64_t value) { return Format("%" PRIu64 " bytes", value); }

std::string ItemCheck(std::size_t i, const char* what) {
  return "Item " + std::to_string(i) + " " + what;
}

bool IsHeadKind(std::string_view name) {
  return name == item::kKernel || name == item::kRootfs || name == item::kSystem || name == item::kMinisys;
}

// Works through one package, reading every byte of item data once. A failed
// read of bytes that the size says are there (an I/O error) marks the whole
// inspection unreadable.
class Inspector {
 public:
  Inspector(Source& source, ItemBytes items) : source_(source) {
    result_.readable = true;
    result_.itemsRead = items == ItemBytes::kRead;
    result_.size = source.Size();
  }

  Inspection Run() {
    std::array<std::uint8_t, 4> mark{};
    if (Read(0, mark)) {
      const std::uint32_t value = LoadLE32(mark.data());
      if (value == kPackageMark) InspectFull();
      if (value == kCompactMark) InspectCompact();
    }
    if (ioError_) result_.readable = false;
    return std::move(result_);
  }

 private:
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > size() || out.size() > size() - offset) return false;
    if (source_.Read(offset, out)) return true;
    ioError_ = true;
    return false;
  }

  // CRC-32 of `length` bytes at `offset`, which must lie inside the source.
  // Each block counts as progress of a running job; a stop requested
  // meanwhile leaves the inspection unfinished, so unreadable.
  std::uint32_t Crc(std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t wanted = std::min<std::uint64_t>(length, kBlockSize);
    if (block_.size() < wanted) block_.resize(static_cast<std::size_t>(wanted));
    std::uint32_t crc = 0;
    while (length > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, block_.size()));
      ioError_ = ioError_ || CancelRequested();
      if (ioError_ || !Read(offset, std::span(block_.data(), n))) break;  // the result is unreadable
      AdvanceProgress(n);
      crc = Crc32Update(crc, block_.data(), n);
      offset += n;
      length -= n;
    }
    return crc;
  }

  std::uint64_t size() const { return result_.size; }
  bool Inside(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size() && length <= size() - offset;
  }

  void Add(std::string name, bool ok, std::string expected, std::string found) {
    result_.checks.push_back({std::move(name), ok, std::move(expected), std::move(found)});
  }
  void AddValue(std::string name, std::uint64_t expected, std::uint64_t found) {
    Add(std::move(name), expected == found, HexDec(expected), HexDec(found));
  }
  void AddCrc(std::string name, std::uint64_t offset, std::uint64_t length, std::uint32_t stored) {
    if (!Inside(offset, length)) {
      Add(std::move(name), false, "checksum over bytes " + Dec(offset) + " .. " + Dec(offset + length - 1),
          "a file of " + Bytes(size()));
      return;
    }
    AddValue(std::move(name), Crc(offset, length), stored);
  }

  // The header block of `headerSize` bytes is there; false (after a failed
  // check) when it is not.
  bool HasHeader(std::uint64_t headerSize) {
    if (size() >= headerSize) return true;
    Add("Header size", false, "at least " + Bytes(headerSize), Bytes(size()));
    return false;
  }

  void InspectFull() {
    result_.kind = PackageKind::kFull;
    if (!HasHeader(kItemTableOffset)) return;
    std::array<std::uint8_t, kFileHeaderSize> headerImage{};
    std::array<std::uint8_t, kExternHeaderSize> externImage{};
    if (!Read(0, headerImage) || !Read(kFileHeaderSize, externImage)) return;
    const PackageFileHeader& h = result_.header = DecodeFileHeader(headerImage);
    result_.externHeader = DecodeExternHeader(externImage);
    const std::uint64_t n = h.itemNum;
    const std::uint64_t tableEnd = kItemTableOffset + kItemRecordSize * n;

    AddValue("File Len", size() - 76, h.fileLen);
    AddValue("Header Len", kExternHeaderSize + kItemRecordSize * n, h.headerLen);
    AddValue("Extern Len", kExternHeaderSize, h.externLen);
    AddValue("Item Info Len", kItemRecordSize, h.itemInfoLen);
    CheckItemTable(kItemTableOffset, n);
    if (!result_.itemsRead) return;
    AddCrc("Header CRC", 20, tableEnd - 20, h.headerCrc);
    if (ItemsFillTheFile(tableEnd, n)) {
      AddValue("File CRC", FileCrcFromItems(tableEnd), h.fileCrc);
    } else {
      AddCrc("File CRC", 12, size() - 12, h.fileCrc);
    }

    // Item data follows the table back to back, in record order, up to the
    // end of the file.
    std::uint64_t layoutOffset = tableEnd;
    for (std::size_t i = 0; i < result_.records.size(); ++i) {
      const ItemRecord& r = result_.records[i];
      AddValue(ItemCheck(i, "Offset"), layoutOffset, r.itemOffset);
      layoutOffset += r.itemLen;
      CheckItemData(i);
    }
    if (result_.records.size() == n) AddValue("File size", layoutOffset, size());
  }

  void InspectCompact() {
    result_.kind = PackageKind::kCompact;
    result_.notes.push_back(
        "compact package: it has no file header checksums, lengths or product list; only the item records are "
        "checked");
    if (!HasHeader(kCompactHeaderSize)) return;
    std::array<std::uint8_t, kCompactHeaderSize> image{};
    if (!Read(0, image)) return;
    result_.compactHeader = DecodeCompactHeader(image);
    CheckItemTable(kCompactHeaderSize, result_.compactHeader.itemNum);
    if (!result_.itemsRead) return;
    for (std::size_t i = 0; i < result_.records.size(); ++i) CheckItemData(i);
  }

  // True when all `n` records were read and their data lies back to back
  // from `tableEnd` to the end of the file.
  bool ItemsFillTheFile(std::uint64_t tableEnd, std::uint64_t n) const {
    if (result_.records.size() != n) return false;
    std::uint64_t offset = tableEnd;
    for (const ItemRecord& r : result_.records) {
      if (r.itemOffset != offset || !Inside(r.itemOffset, r.itemLen)) return false;
      offset += r.itemLen;
    }
    return offset == size();
  }

  // The File CRC (bytes 12 to the end) from the bytes before the item data
  // and the item CRCs already taken, without reading the data again.
  std::uint32_t FileCrcFromItems(std::uint64_t tableEnd) {
    std::uint32_t crc = Crc(12, tableEnd - 12);
    for (std::size_t i = 0; i < result_.contents.size(); ++i)
      crc = Crc32Combine(crc, result_.contents[i].crc, result_.records[i].itemLen);
    return crc;
  }

  // Reads the item's bytes once: a head's payload CRC and the item's CRC
  // come from the same pass.
  ItemContent Scan(const ItemRecord& r) {
    ItemContent scan;
    scan.inside = Inside(r.itemOffset, r.itemLen);
    if (!scan.inside) return scan;
    std::array<std::uint8_t, kItemHeadSize> image{};
    const std::size_t headBytes = static_cast<std::size_t>(std::min<std::uint64_t>(r.itemLen, kItemHeadSize));
    if (!Read(r.itemOffset, std::span(image.data(), headBytes))) return scan;
    scan.headMark = IsHeadKind(GetText(r.itemName)) && headBytes >= 4 && LoadLE32(image.data()) == kHeadMark;
    scan.wholeHead = scan.headMark && headBytes == kItemHeadSize;
    if (!scan.wholeHead) {
      scan.crc = Crc(r.itemOffset, r.itemLen);
      return scan;
    }
    scan.head = DecodeItemHead(image);
    const std::uint64_t payload = r.itemLen - kItemHeadSize;
    scan.payloadCrc = Crc(r.itemOffset + kItemHeadSize, payload);
    scan.crc = Crc32Combine(Crc32Update(0, image.data(), image.size()), scan.payloadCrc, payload);
    return scan;
  }

  // Item Num and the extent of the table; reads the records that are inside
  // the file, at most 16, and scans their data unless it is skipped.
  void CheckItemTable(std::uint64_t tableOffset, std::uint64_t n) {
    Add("Item Num", n <= kMaxItems, "at most " + Dec(kMaxItems), Dec(n));
    const std::uint64_t tableEnd = tableOffset + kItemRecordSize * n;
    Add("Item table", tableEnd <= size(), "end <= " + Dec(size()), "end " + Dec(tableEnd));
    if (n > kMaxItems) {
      result_.notes.push_back("Item Num " + Dec(n) + " exceeds 16: the reader refuses this package; the first "
                              "16 records are shown");
    }
    const std::uint64_t shown = std::min<std::uint64_t>(n, kMaxItems);
    for (std::uint64_t i = 0; i < shown; ++i) {
      std::array<std::uint8_t, kItemRecordSize> image{};
      if (!Read(tableOffset + kItemRecordSize * i, image)) break;
      result_.records.push_back(DecodeItemRecord(image));
    }
    if (!result_.itemsRead) return;
    for (const ItemRecord& r : result_.records) result_.contents.push_back(Scan(r));
  }

  // The item's range, its CRC and, for an image that begins with an item
  // head, the head's length and checksum of the payload.
  void CheckItemData(std::size_t i) {
    const ItemRecord& r = result_.records[i];
    const ItemContent& scan = result_.contents[i];
    const std::uint64_t end = std::uint64_t{r.itemOffset} + r.itemLen;
    Add(ItemCheck(i, "Range"), scan.inside, "end <= " + Dec(size()), "end " + Dec(end));
    if (!scan.inside) return;
    AddValue(ItemCheck(i, "CRC"), scan.crc, r.itemCrc);
    if (!scan.headMark) return;
    if (!scan.wholeHead) {
      Add(ItemCheck(i, "Head"), false, "at least " + Bytes(kItemHeadSize), Bytes(r.itemLen));
      return;
    }
    AddValue(ItemCheck(i, "Head Data Len"), r.itemLen - kItemHeadSize, scan.head.headDataLen);
    AddValue(ItemCheck(i, "Head Data CRC"), scan.payloadCrc, scan.head.headDataCrc);
  }

  Source& source_;
  Inspection result_;
  std::vector<std::uint8_t> block_;
  bool ioError_ = false;
};

}  // namespace

bool Inspection::Consistent() const {
  return readable && itemsRead && kind != PackageKind::kNotPackage &&
         std::all_of(checks.begin(), checks.end(), [](const Check& c) { return c.ok; });
}

Inspection InspectPackage(std::span<const std::uint8_t> bytes) {
  MemorySource source(bytes);
  return Inspector(source, ItemBytes::kRead).Run();
}

Inspection InspectPackageFile(InputFile& file, ItemBytes items) {
  std::uint64_t size = 0;
  if (!file.Size(size)) return {};
  PackageFileSource source(file, size);
  return Inspector(source, items).Run();
}

Inspection InspectPackageFile(const char* path) {
  InputFile file;
  if (!file.Open(path)) return {};
  return InspectPackageFile(file);
}

}  // namespace quarnet
