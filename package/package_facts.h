#pragma once
// The facts of one package, as every front end shows them: its kind and
// header, the version its kernel and root file system heads carry, its
// product list with the products' names, its items with whether their bytes
// agree with their records, and the checks behind its verdict. One read of
// the package gives them all (package/inspect.h); nothing here prints.
// Texts are the package's bytes as they are: whoever shows them shows them
// through DisplayText.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/files.h"
#include "package/format.h"
#include "package/inspect.h"

namespace quarnet {

// "full", "compact" or "not a package".
std::string_view KindName(PackageKind kind);

struct ItemFacts {
  std::uint32_t index = 0;  // the record's Index
  std::string name;
  std::string destination;
  std::string version;  // the record's Item Version
  std::uint32_t policy = 0;
  std::uint32_t reserved = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;  // Item Len
  std::uint32_t crc = 0;   // Item CRC, as the record states it
  // The CRC-32 of the item's bytes, once they were read.
  std::optional<std::uint32_t> dataCrc;
  // The Head Version of an image that begins with a whole item head.
  std::optional<std::string> headVersion;

  // True when the bytes were read and their CRC is the record's.
  bool CrcAgrees() const { return dataCrc == crc; }
  // The CRC of the bytes when they were read, else the record's.
  std::uint32_t ContentCrc() const { return dataCrc.value_or(crc); }
  // The device path of a "file:" destination; any other destination whole.
  std::string_view Place() const;
};

struct ProductFacts {
  std::string code;
  std::vector<std::string> names;  // the products of that code, where known
};

// Names of the products that carry a product code, none when it is unknown.
using ProductNamer = std::function<std::vector<std::string>(std::string_view code)>;

struct PackageFacts {
  bool readable = false;  // false when the file could not be read
  PackageKind kind = PackageKind::kNotPackage;
  std::uint64_t size = 0;
  std::string mark;                    // the four characters of the mark
  PackageFileHeader header;            // a full package's
  std::uint32_t itemNum = 0;           // Item Num, of either kind
  std::string productList;             // a full package's, as stored
  std::vector<ProductFacts> products;  // its codes in list order
  // The Head Version of the first kernel and root file system item with a
  // whole head; empty without one.
  std::string kernelVersion;
  std::string rootfsVersion;
  std::vector<ItemFacts> items;  // the records inside the file, at most 16
  std::vector<Check> checks;
  std::vector<std::string> notes;
  bool itemsRead = true;  // false when only the header and records were read

  // The verdict: a readable package of a known kind whose items were read
  // and whose every check passed.
  bool Consistent() const;
  std::size_t FailedChecks() const;
};

// The facts an inspection found; each product code named by `names` when
// given.
PackageFacts FactsOf(const Inspection& inspection, const ProductNamer& names = {});

// Reads the package at `path` (against the working folder) once.
PackageFacts ReadPackageFacts(const char* path, const ProductNamer& names = {});
// The same for a file that is open already; with ItemBytes::kSkipped only
// the header and the records, without the items' bytes or their checks.
PackageFacts ReadPackageFacts(InputFile& file, ItemBytes items = ItemBytes::kRead, const ProductNamer& names = {});

}  // namespace quarnet
