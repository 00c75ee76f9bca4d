#include "package/item_save.h"

#include <algorithm>

#include "package/file_copy.h"
#include "package/files.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

bool SameRecord(const ItemFacts& a, const ItemFacts& b) {
  return a.index == b.index && a.name == b.name && a.offset == b.offset && a.size == b.size && a.crc == b.crc;
}

}  // namespace

ItemSaved SaveItem(const std::string& packagePath, const ItemFacts& item, const std::string& target) {
  InputFile package;
  if (!package.Open(packagePath)) return ItemSaved::kFailed;
  const PackageFacts now = ReadPackageFacts(package, ItemBytes::kSkipped);
  if (std::none_of(now.items.begin(), now.items.end(), [&](const ItemFacts& i) { return SameRecord(i, item); }))
    return ItemSaved::kPackageChanged;
  OutputFile out(Durability::kDurable);
  if (!out.Create(target)) return ItemSaved::kFailed;
  SetJobStage(JobStage::kUnpacking);
  BeginProgress(item.size);
  std::uint32_t crc = 0;
  const std::uint64_t copied = CopyFileBytes(package, item.offset, &out, item.size, &crc);
  EndProgress();
  if (copied != item.size) {
    // Unless a failed call or a stop said why already.
    SetFailureFinding(Finding::kEndsInsideItem, {package.name(), item.name}, FailureKind::kNotAPackage);
    return ItemSaved::kFailed;
  }
  if (!out.Commit()) return ItemSaved::kFailed;
  return crc == item.crc ? ItemSaved::kAgrees : ItemSaved::kCrcDiffers;
}

}  // namespace quarnet
