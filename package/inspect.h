#pragma once
// Verification of a package against its own description: the lengths in its
// header, the item records and every checksum, which the reader itself never
// checks. Works on bytes in memory or streams a file, and never reads outside
// them, whatever they hold.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <vector>

#include "package/display_text.h"
#include "package/files.h"
#include "package/format.h"

namespace quarnet {

enum class PackageKind { kNotPackage, kFull, kCompact };

// One verification. `expected` is what the layout and the checksums call
// for, `found` what the bytes hold; both are for display.
struct Check {
  std::string name;
  bool ok = false;
  std::string expected;
  std::string found;
};

// What one read of an item's bytes found: the CRC of the whole item and,
// for an image that begins with an item head, the head and its payload's
// CRC.
struct ItemContent {
  bool inside = false;    // the record's range lies inside the file: `crc` holds
  bool headMark = false;  // a head-kind item that begins with the head mark
  bool wholeHead = false;  // ... and is long enough to hold the head: `head` holds
  ItemHead head;
  std::uint32_t crc = 0;
  std::uint32_t payloadCrc = 0;
};

// Whether an inspection reads the items' bytes, or stops after the item
// table: the header and the records alone, as cheap to read as they are
// small, with the checks of their lengths.
enum class ItemBytes { kRead, kSkipped };

struct Inspection {
  bool readable = false;  // false when the file could not be read
  bool itemsRead = true;  // false after an inspection that skipped them
  PackageKind kind = PackageKind::kNotPackage;
  std::uint64_t size = 0;
  PackageFileHeader header;          // full packages
  ExternFileHeader externHeader;     // full packages
  CompactFileHeader compactHeader;   // compact packages
  std::vector<ItemRecord> records;   // those inside the file, at most 16
  std::vector<ItemContent> contents;  // one per record, when the items were read
  std::vector<Check> checks;
  std::vector<std::string> notes;

  // True only for a readable package of a known kind whose items were read
  // and whose every check passed.
  bool Consistent() const;
};

Inspection InspectPackage(std::span<const std::uint8_t> bytes);
// Streams the file; its size and contents are read once each. The path
// resolves against the working folder.
Inspection InspectPackageFile(const char* path);
// The same for a file that is open already, which is read by offset.
Inspection InspectPackageFile(InputFile& file, ItemBytes items = ItemBytes::kRead);

}  // namespace quarnet
