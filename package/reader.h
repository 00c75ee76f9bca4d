#pragma once
// Reads a package and exports every item except EFS into "<Item Name>.bin"
// in the working directory. Progress and error lines go to the output
// channel, header and item dumps to the job log.
#include <cstdio>
#include <span>

#include "package/format.h"

namespace quarnet {

using ItemTable = std::array<ItemRecord, kMaxItems>;

// Returns -1 when the file cannot be opened or its mark is unknown, 0 when a
// header or the item table cannot be read, an export fails or nothing but
// EFS is in the package, otherwise the number of exported items. Fills
// `names` in package order and, for a full package, `productList`. The item
// files are created through OpenOutputFile; every failure records its
// reason in the job's report.
int UnpackPackage(const char* path, ItemNameTable& names, ProductListBuffer& productList);

int ReadFileHeader(std::FILE* file, PackageFileHeader& header, ExternFileHeader& extern_header);
int ReadCompactHeader(std::FILE* file, CompactFileHeader& header);
int ReadItemRecords(std::FILE* file, int count, ItemTable& table);
int ExportItem(std::FILE* file, const ItemRecord& record);

// Copies Head Version (bytes 4 .. 67 of the file) into `version`; -1 when the
// file cannot be opened or is empty. Head Mark is not checked.
int ReadItemHeadVersion(const char* path, std::span<char, kVersionSize> version);

// True for an Item Name that may become a file name: not empty, not "." or
// "..", without "/", "\" or ":" and without control bytes (below 0x20, and
// 0x7F). A refused name shows in the lines with its control bytes as "\xHH".
bool IsPlainItemName(std::string_view name);

}  // namespace quarnet
