#pragma once
// Package assembly: the tables that describe one package, the build step
// that reads the item files and writes the package, and the layout step that
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

// Reads the `count` item files (each must have at least one byte), adds the
// EFS item and writes `packageName` with one write. A package whose write
// fails is removed again. Returns 0, or 1 on any failure.
int BuildPackage(PackageTables& tables, int count, const char* packageName);

// Lays out a package in `image`, where the data of the `count` items
// (lengths in `lengths`) already stands back to back from byte
// 164 + 360 x count: fills Item CRC, Item Offset and Item Len of every
// record and every computed header field, and encodes headers and records.
// Returns 1 when `count` differs from Item Num or the sizes do not match.
int LayoutPackage(PackageTables& tables, std::span<const std::uint32_t> lengths, int count,
                  std::span<std::uint8_t> image);

}  // namespace quarnet
