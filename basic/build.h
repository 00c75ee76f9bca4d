#pragma once
// Package assembly: the tables that describe one package, the build step
// that streams the item files into the package, and the layout step that
// fills every computed field.
#include <array>
#include <cstdint>
#include <span>

#include "package/format.h"

namespace quarnet {

// The request's items occupy records 0 .. Item Num - 1; the build step adds
// the EFS item after them, so at most kMaxItems - 1 come from the request.
struct PackageTables {
  PackageFileHeader header;  // Item Num = number of request items
  ExternFileHeader externHeader;
  std::array<ItemRecord, kMaxItems> records{};
  std::array<PathBuffer, kMaxItems> itemFiles{};  // local file of each item
};

// Length and CRC-32 of one item's data.
struct ItemSummary {
  std::uint32_t length = 0;
  std::uint32_t crc = 0;
};

// The bytes in front of the item data: file header, extern header and the
// table of `count` records.
constexpr std::size_t PackageHeadSize(int count) {
  return kItemTableOffset + kItemRecordSize * static_cast<std::size_t>(count);
}

// Reads the `count` item files, or the ranges the job has for their names
// (package/item_input.h); each must have at least one byte, and is read
// once, up to the size it had when it was opened. Adds the EFS item
// and writes `packageName`. The package takes its name only when it is
// complete and synced: a failed build leaves an earlier file of that name
// as it was. Returns 0, or 1 on any failure.
int BuildPackage(PackageTables& tables, int count, const char* packageName);

// Lays out the head of a package of `count` items (lengths and CRCs in
// `items`) in `head`: fills Item CRC, Item Offset and Item Len of every
// record and every computed header field, and encodes headers and records.
// The File CRC covers the item data through the item CRCs, so the data
// itself is not needed. Returns 1 when `count` differs from Item Num or the
// sizes do not match.
int LayoutPackage(PackageTables& tables, std::span<const ItemSummary> items, int count,
                  std::span<std::uint8_t> head);

}  // namespace quarnet
