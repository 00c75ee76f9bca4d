#pragma once
// Verification of a package against its own description: the lengths in its
// header, the item records and every checksum, which the reader itself never
// checks. Works on bytes in memory or streams a file, and never reads outside
// them, whatever they hold.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "package/display_text.h"
#include "package/files.h"
#include <vector>

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

struct Inspection {
  bool readable = false;  // false when the file could not be read
  PackageKind kind = PackageKind::kNotPackage;
  std::uint64_t size = 0;
  PackageFileHeader header;          // full packages
  ExternFileHeader externHeader;     // full packages
  CompactFileHeader compactHeader;   // compact packages
  std::vector<ItemRecord> records;   // those inside the file, at most 16
  std::vector<Check> checks;
  std::vector<std::string> notes;

  // True only for a readable package of a known kind whose every check
  // passed.
  bool Consistent() const;
};

Inspection InspectPackage(std::span<const std::uint8_t> bytes);
// Streams the file; its size and contents are read once each. The path
// resolves against the working folder.
Inspection InspectPackageFile(const char* path);
// The same for a file that is open already.
Inspection InspectPackageFile(InputFile& file);


}  // namespace quarnet
