#include "package/item_input.h"

#include <algorithm>

#include "package/job.h"

namespace quarnet {
namespace {

// A byte range of a package, read at its own offsets: the ranges of one
// package share its file without sharing a position.
class RangeSource final : public ByteSource {
 public:
  RangeSource(InputFile& package, const ItemRange& range) : package_(package), range_(range) {}

  std::size_t Read(std::uint8_t* into, std::size_t size) override {
    const auto left = static_cast<std::size_t>(std::min<std::uint64_t>(size, range_.length - done_));
    const std::size_t got = package_.ReadAt(range_.offset + done_, std::span(into, left));
    failed_ = package_.failed();
    done_ += got;
    return got;
  }

 private:
  InputFile& package_;
  ItemRange range_;
  std::uint64_t done_ = 0;
};

}  // namespace

const ItemRange* ItemRanges::Find(const std::string& fileName) const {
  const auto found = ranges_.find(fileName);
  return found != ranges_.end() ? &found->second : nullptr;
}

ScopedItemRanges::ScopedItemRanges(const ItemRanges& ranges) : previous_(CurrentJob().ItemSources()) {
  CurrentJob().SetItemSources(&ranges);
}

ScopedItemRanges::~ScopedItemRanges() { CurrentJob().SetItemSources(previous_); }

bool ItemInput::Open(const std::string& name) {
  name_ = name;
  ranges_ = CurrentJob().ItemSources();
  if (const ItemRange* range = ranges_ != nullptr ? ranges_->Find(name) : nullptr) {
    range_ = *range;
    source_ = std::make_unique<RangeSource>(ranges_->package(), range_);
    return true;
  }
  ranges_ = nullptr;
  if (!file_.Open(name)) return false;
  source_ = std::make_unique<FileSource>(file_);
  return true;
}

bool ItemInput::Size(std::uint64_t& size) {
  if (ranges_ == nullptr) return file_.Size(size);
  size = range_.length;
  return true;
}

void ItemInput::Close() { file_.Close(); }

}  // namespace quarnet
