#pragma once
// Reads a package and exports every item except EFS into "<Item Name>.bin"
// in the working directory. Progress and error lines go to the output
// channel, header and item dumps to the job log.
#include <span>
#include <string>

#include "package/files.h"
#include "package/format.h"

namespace quarnet {

class ItemRanges;
using ItemTable = std::array<ItemRecord, kMaxItems>;

// What one export wrote: the item's place in the item table, the CRC its
// record states, and the length and CRC of the bytes actually exported.
struct ExportedItem {
  int index = 0;
  std::uint32_t recordCrc = 0;
  std::uint32_t length = 0;
  std::uint32_t crc = 0;
};
// One entry per exported item, in the order of the item name table.
using ExportTable = std::array<ExportedItem, kMaxItems>;

// Returns -1 when the file cannot be opened or its mark is unknown, 0 when a
// header or the item table cannot be read, an export fails or nothing but
// EFS is in the package, otherwise the number of exported items. Fills
// `names` in package order and, for a full package, `productList`. Each
// item file takes its name only when it is complete (OutputFile); every
// failure records its reason in the job's report. The package path
// resolves against the working folder, like the item files.
int UnpackPackage(const char* path, ItemNameTable& names, ProductListBuffer& productList);
// The same for a package opened by the caller, read from its start;
// `exported`, when given, receives what each export wrote. With `ranges`
// no file is written: each item is read in place for its length and CRC,
// and its range stands in for its file (package/item_input.h).
int UnpackPackage(InputFile& package, ItemNameTable& names, ProductListBuffer& productList,
                  ExportTable* exported = nullptr, ItemRanges* ranges = nullptr);

int ReadFileHeader(InputFile& file, PackageFileHeader& header, ExternFileHeader& extern_header);
int ReadCompactHeader(InputFile& file, CompactFileHeader& header);
int ReadItemRecords(InputFile& file, int count, ItemTable& table);
// Exports one item (or, with `ranges`, adds its range there); `written`
// receives the length and CRC of its bytes. With `batch` the complete file
// joins it instead of taking its name at once.
int ExportItem(InputFile& file, const ItemRecord& record, ExportedItem* written = nullptr,
               ItemRanges* ranges = nullptr, OutputBatch* batch = nullptr);

// Copies Head Version (bytes 4 .. 67 of the item file, or of the range the
// job has for that name) into `version`; -1 when it cannot be opened or is
// empty (a failed call records its reason).
// Head Mark is not checked.
int ReadItemHeadVersion(const char* path, std::span<char, kVersionSize> version);

// True for an Item Name that may become a file name: not empty, not "." or
// "..", without "/", "\" or ":" and without control bytes (below 0x20, 0x7F
// and 0x80 .. 0x9F). A refused name shows in the lines as DisplayText
// shows it.
bool IsPlainItemName(std::string_view name);

}  // namespace quarnet
