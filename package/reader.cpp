#include "package/reader.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "package/display_text.h"
#include "package/endian.h"
#include "package/file_copy.h"
#include "package/item_input.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"

namespace quarnet {
namespace {

// Reads up to `N` bytes into a zero-filled image; a short read keeps the
// zero fill. Returns the number of bytes delivered.
template <std::size_t N>
std::size_t ReadImage(InputFile& file, std::array<std::uint8_t, N>& image) {
  image.fill(0);
  return file.Read(image);
}

}  // namespace

bool IsPlainItemName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  // A NUL would silently shorten the file name; control bytes and broken
  // characters would reach the terminal through the lines and listings.
  return name.find_first_of("/\\:") == std::string_view::npos && IsDisplayable(name);
}

int ReadFileHeader(InputFile& file, PackageFileHeader& header, ExternFileHeader& externHeader) {
  std::array<std::uint8_t, kFileHeaderSize> headerImage;
  if (ReadImage(file, headerImage) == 0) return -1;
  header = DecodeFileHeader(headerImage);
  std::array<std::uint8_t, kExternHeaderSize> externImage;
  if (ReadImage(file, externImage) == 0) return -1;
  externHeader = DecodeExternHeader(externImage);
  LogFileHeader(header, std::string(GetText(externHeader.productList)).c_str());
  return 0;
}

int ReadCompactHeader(InputFile& file, CompactFileHeader& header) {
  std::array<std::uint8_t, kCompactHeaderSize> image;
  if (ReadImage(file, image) == 0) return -1;
  header = DecodeCompactHeader(image);
  return 0;
}

int ReadItemRecords(InputFile& file, int count, ItemTable& table) {
  // More items than the table holds: refused rather than cut, since a
  // repack of the first 16 would silently drop the rest.
  if (count > kMaxItems) return -1;
  for (int i = 0; i < count; ++i) {
    std::array<std::uint8_t, kItemRecordSize> image;
    if (ReadImage(file, image) == 0) {
      Print("Error: Read file item error. index=%d, itme=%d;\r\n", i, count);
      return -1;
    }
    table[static_cast<std::size_t>(i)] = DecodeItemRecord(image);
  }
  LogItemRecords(count, table.data());
  return 0;
}

// A name with a path in it would place the file outside the working folder,
// or nowhere sensible; a name this system cannot hold (a device name on
// Windows) would fail there for a wrong reason, or reach a device.
bool CanExport(std::string_view name) {
  if (!IsPlainItemName(name)) {
    SetFailureFinding(Finding::kNotPlainName, {DisplayText(name)}, FailureKind::kNotAPackage);
    return false;
  }
  const std::string why = os::NameProblem(std::string(name) + ".bin");
  if (!why.empty())
    SetFailureFinding(Finding::kNameNotHere, {DisplayText(name), why}, FailureKind::kBadName);
  return why.empty();
}

int ExportItem(InputFile& file, const ItemRecord& record, ExportedItem* written, ItemRanges* ranges,
               OutputBatch* batch) {
  const std::string_view name = GetText(record.itemName);
  if (!CanExport(name)) return -1;
  const std::string fileName = std::string(name) + ".bin";
  auto out = std::make_unique<OutputFile>(JobWork());
  if (ranges == nullptr && !out->Create(fileName)) return -1;
  std::uint32_t crc = 0;
  const std::uint64_t copied =
      CopyFileBytes(file, record.itemOffset, ranges == nullptr ? out.get() : nullptr, record.itemLen, &crc);
  if (copied != record.itemLen) {
    // Unless a failed call or a stop said why already.
    SetFailureFinding(Finding::kEndsInsideItem, {file.name(), std::string(name)}, FailureKind::kNotAPackage);
    // The partial file never takes the item's name.
    Print("Unpack file %s error. left size %d.\r\n", DisplayText(name).c_str(),
          static_cast<int>(record.itemLen - copied));
    return -1;
  }
  if (ranges != nullptr) {
    ranges->Add(fileName, {record.itemOffset, record.itemLen, crc});
  } else if (batch != nullptr) {
    batch->Add(std::move(out));
  } else if (!out->Commit()) {
    return -1;
  }
  if (written != nullptr) *written = {0, record.itemCrc, record.itemLen, crc};
  return 0;
}

namespace {

// The header of either kind; the item count, or -1 when it cannot be read.
// -2 for an unknown mark.
std::int64_t ReadHead(InputFile& file, ProductListBuffer& productList) {
  std::array<std::uint8_t, 4> markImage;
  ReadImage(file, markImage);
  if (!file.Seek(0)) return -1;
  const std::uint32_t mark = LoadLE32(markImage.data());
  if (mark == kPackageMark) {
    PackageFileHeader header;
    ExternFileHeader externHeader;
    if (ReadFileHeader(file, header, externHeader) != 0) return -1;
    SetText(productList, GetText(externHeader.productList));
    return header.itemNum;
  }
  if (mark == kCompactMark) {
    CompactFileHeader compactHeader;
    if (ReadCompactHeader(file, compactHeader) != 0) return -1;
    return compactHeader.itemNum;
  }
  return -2;
}

// True when the item's file would be the package itself (a package named
// after one of its items, or a link to it): the export would replace the
// package it is read from.
bool IsThePackage(InputFile& package, std::string_view name) {
  bool same = false;
  const os::Error error = os::IsSameFile(package.file(), os::WorkingFolder(), std::string(name) + ".bin", same);
  if (error != 0) RecordSystemError("stat", std::string(name) + ".bin", error);
  return error != 0 || same;
}

// Items of one name share one file, which keeps the last: said once per
// item that replaced an earlier one.
void WarnIfReplaced(const ItemNameTable& names, int done, std::string_view name, int index) {
  const auto end = names.begin() + done;
  if (std::find_if(names.begin(), end, [&](const auto& n) { return GetText(n) == name; }) == end) return;
  AddWarning("item " + std::to_string(index) + " (" + DisplayText(name) + ") replaced " + DisplayText(name) +
             ".bin of an earlier item of the same name",
             WarningKind::kItemReplaced);
}

}  // namespace

int UnpackPackage(InputFile& file, ItemNameTable& names, ProductListBuffer& productList, ExportTable* exported,
                  ItemRanges* ranges) {
  const std::int64_t itemNum = ReadHead(file, productList);
  if (itemNum == -2) {
    SetFailureFinding(Finding::kNoPackageMark, {file.name()}, FailureKind::kNotAPackage);
    Print("Wrong file input.\r\n");
    return -1;
  }
  if (itemNum < 0) {
    SetFailureFinding(Finding::kEndsInsideHeader, {file.name()}, FailureKind::kNotAPackage);
    Print("Parse File Head error.\r\n");
    return 0;
  }
  // Any Item Num above 16 stays above 16 and is refused by ReadItemRecords.
  ItemTable table{};
  const int count = static_cast<int>(std::min<std::int64_t>(itemNum, kMaxItems + 1));
  if (ReadItemRecords(file, count, table) != 0) {
    SetFailureFinding(count > kMaxItems ? Finding::kTooManyItems : Finding::kEndsInsideItemTable, {file.name()},
                      FailureKind::kNotAPackage);
    Print("Parse Items error.\r\n");
    return 0;
  }
  // Every name is judged before the first file is made.
  for (int i = 0; i < count; ++i) {
    const std::string_view name = GetText(table[static_cast<std::size_t>(i)].itemName);
    if (name != item::kEfs && !CanExport(name)) {
      Print("Export item %s error.\r\n", DisplayText(name).c_str());
      return 0;
    }
  }
  // The items take their names together once all are written, or once one
  // fails: those before it keep their names.
  OutputBatch batch;
  const auto commitBatch = [&] {
    const std::size_t staged = batch.size(), committed = batch.Commit();
    if (committed == staged) return true;
    Print("Export item %s error.\r\n", DisplayText(GetText(names[committed])).c_str());
    return false;
  };
  int done = 0;
  for (int i = 0; i < count; ++i) {
    const ItemRecord& record = table[static_cast<std::size_t>(i)];
    const std::string_view name = GetText(record.itemName);
    if (name == item::kEfs) continue;
    const bool self = ranges == nullptr && IsPlainItemName(name) && IsThePackage(file, name);
    if (self) SetFailureFinding(Finding::kItemIsThePackage, {std::string(name), file.name()});
    ExportedItem written;
    if (self || ExportItem(file, record, &written, ranges, &batch) != 0) {
      if (commitBatch()) Print("Export item %s error.\r\n", DisplayText(name).c_str());
      return 0;
    }
    written.index = i;
    WarnIfReplaced(names, done, name, i);
    if (exported != nullptr) (*exported)[static_cast<std::size_t>(done)] = written;
    SetText(names[static_cast<std::size_t>(done)], name);
    ++done;
  }
  return commitBatch() ? done : 0;
}

int UnpackPackage(const char* path, ItemNameTable& names, ProductListBuffer& productList) {
  InputFile file;
  if (!file.Open(path)) {
    Print("Open file %s error.\r\n", DisplayText(path).c_str());
    return -1;
  }
  return UnpackPackage(file, names, productList);
}

int ReadItemHeadVersion(const char* path, std::span<char, kVersionSize> version) {
  ItemInput item;
  if (!item.Open(path)) return -1;
  std::array<std::uint8_t, kItemHeadSize> image{};
  if (item.Source().Read(image.data(), image.size()) == 0) return -1;
  std::transform(image.begin() + 4, image.begin() + 4 + kVersionSize, version.begin(),
                 [](std::uint8_t b) { return static_cast<char>(b); });
  return 0;
}

}  // namespace quarnet
