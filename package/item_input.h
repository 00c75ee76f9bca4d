#pragma once
// Where a build reads an item's bytes: the file of that name in the working
// folder or, when the current job has registered the name, a byte range of
// the package the item stands in, with the length and CRC the reader found
// there. A repack thus reads its original's items in place instead of
// writing each to a file and reading it back.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "package/file_copy.h"
#include "package/files.h"

namespace quarnet {

struct ItemRange {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  std::uint32_t crc = 0;
};

// The items of one open package, by the file name an export gives them
// ("KERNEL.bin"); a later item of a name replaces an earlier one, as its
// file would.
class ItemRanges {
 public:
  explicit ItemRanges(InputFile& package) : package_(package) {}
  void Add(const std::string& fileName, const ItemRange& range) { ranges_[fileName] = range; }
  const ItemRange* Find(const std::string& fileName) const;
  InputFile& package() const { return package_; }

 private:
  InputFile& package_;
  std::map<std::string, ItemRange> ranges_;
};

// Makes `ranges` stand in for the files of their names in the current job
// while the object lives.
class ScopedItemRanges {
 public:
  explicit ScopedItemRanges(const ItemRanges& ranges);
  ~ScopedItemRanges();
  ScopedItemRanges(const ScopedItemRanges&) = delete;
  ScopedItemRanges& operator=(const ScopedItemRanges&) = delete;

 private:
  const ItemRanges* previous_;
};

// The bytes of one item, read once from its start.
class ItemInput {
 public:
  // The current job's range of that name, else the file; false with the
  // reason recorded.
  bool Open(const std::string& name);
  // The item's length: the range's, or the file's size now.
  bool Size(std::uint64_t& size);
  const std::string& name() const { return name_; }
  ByteSource& Source() { return *source_; }
  // Lets go of a file: a name about to be replaced must not be held open.
  void Close();

 private:
  std::string name_;
  InputFile file_;
  const ItemRanges* ranges_ = nullptr;
  ItemRange range_;
  std::unique_ptr<ByteSource> source_;
};

}  // namespace quarnet
