#include "repack/verify.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "package/crc32.h"
#include "package/endian.h"
#include "package/file.h"
#include "package/inspect.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

// The Destination the builder gives an exported item of this name.
std::string DestinationFor(std::string_view name) {
  if (name == item::kUboot) return destination::kUboot;
  if (name == item::kKernel) return destination::kKernel;
  if (name == item::kRootfs) return destination::kRootfs;
  if (name == item::kMinisys) return destination::kMinisys;
  if (name == item::kUpdateFlag) return destination::kUpdateFlag;
  return "";
}

// Reads N bytes at `offset`; false when they are not all there.
template <std::size_t N>
bool ReadAt(std::FILE* file, std::uint64_t offset, std::array<std::uint8_t, N>& image) {
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fread(image.data(), 1, N, file) == N;
}

// Head Version of the item at `record`, as the job reads it from the
// exported file: the 64 bytes after the head's mark, zero where the item
// ends sooner.
std::string HeadVersionOf(std::FILE* file, const ItemRecord& record) {
  std::array<std::uint8_t, kItemHeadSize> head{};
  if (std::fseek(file, static_cast<long>(record.itemOffset), SEEK_SET) == 0)
    std::fread(head.data(), 1, std::min<std::size_t>(head.size(), record.itemLen), file);
  VersionBuffer version{};
  std::copy_n(head.begin() + 4, version.size(), version.begin());
  return std::string(GetText(version));
}

// The original's item records, read again on their own (the reader's
// functions would dump them into the job log a second time).
bool ReadOriginalRecords(std::FILE* file, std::vector<ItemRecord>& records) {
  std::array<std::uint8_t, kFileHeaderSize> header{};
  if (!ReadAt(file, 0, header)) return false;
  const bool full = LoadLE32(header.data()) == kPackageMark;
  const std::uint64_t table = full ? kItemTableOffset : kCompactHeaderSize;
  // Item Num stands at offset 20 in both kinds of header.
  const std::uint32_t count = LoadLE32(header.data() + 20);
  if (count > kMaxItems) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::array<std::uint8_t, kItemRecordSize> image{};
    if (!ReadAt(file, table + kItemRecordSize * i, image)) return false;
    records.push_back(DecodeItemRecord(image));
  }
  return true;
}

// The original's items in package order, EFS left out as the reader leaves
// it out; the kernel and root file system items get the kernel's version.
bool PlanOriginalItems(const char* path, RepackPlan& plan, std::string& why) {
  FilePtr file = OpenFile(path, "rb");
  std::vector<ItemRecord> records;
  if (!file || !ReadOriginalRecords(file.get(), records)) {
    why = "cannot read the original package's item table again";
    return false;
  }
  std::string version;
  for (const ItemRecord& r : records) {
    if (GetText(r.itemName) == item::kKernel) version = HeadVersionOf(file.get(), r);
  }
  for (const ItemRecord& r : records) {
    const std::string_view name = GetText(r.itemName);
    if (name == item::kEfs) continue;
    const bool versioned = name == item::kKernel || name == item::kRootfs;
    plan.items.push_back({std::string(name), DestinationFor(name), versioned ? version : "", 0, "", r.itemLen,
                          r.itemCrc, true});
  }
  return true;
}

// "-n<local file>@<device path>", with a final "&" for policy 2, as the
// builder reads it; a descriptor without "@" adds nothing.
void PlanDescriptor(std::string_view descriptor, RepackPlan& plan) {
  if (descriptor.rfind("-n", 0) != 0) return;
  descriptor.remove_prefix(2);
  const std::size_t at = descriptor.find('@');
  if (at == std::string_view::npos) return;
  std::uint32_t policy = 0;
  if (descriptor.back() == '&') {
    policy = 2;
    descriptor.remove_suffix(1);
  }
  plan.items.push_back({item::kUnknown, std::string(destination::kFilePrefix).append(descriptor.substr(at + 1)), "",
                        policy, std::string(descriptor.substr(0, at)), 0, 0, false});
}

std::string Hex(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08" PRIx32, value);
  return text.data();
}

std::string Bytes(std::uint64_t length, std::uint32_t crc) {
  return std::to_string(length) + " bytes with CRC " + Hex(crc);
}

// Length and CRC-32 of a local file, read in blocks; false when it cannot be
// read to its end.
bool SummarizeFile(const std::string& path, std::uint64_t& length, std::uint32_t& crc) {
  FilePtr file = OpenFile(path.c_str(), "rb");
  if (!file) return false;
  std::vector<std::uint8_t> block(kBlockSize);
  length = 0;
  crc = 0;
  for (std::size_t n; (n = std::fread(block.data(), 1, block.size(), file.get())) > 0;) {
    crc = Crc32Update(crc, block.data(), n);
    length += n;
    AdvanceProgress(n);
  }
  return std::ferror(file.get()) == 0;
}

// The first failed check of the package on its own.
std::string Inconsistency(const Inspection& inspection) {
  if (!inspection.readable) return "the new package cannot be read";
  if (inspection.kind != PackageKind::kFull) return "the new package is not a full package";
  for (const Check& c : inspection.checks) {
    if (!c.ok) return c.name + ": expected " + c.expected + ", found " + c.found;
  }
  return "";
}

// What differs between record `i` and the item expected there.
std::string Mismatch(std::size_t i, const ItemRecord& record, const ExpectedItem& expected) {
  const std::string name = DisplayText(GetText(record.itemName));
  const std::string where = "item " + std::to_string(i) + " (" + name + "): ";
  if (name != expected.name) return "item " + std::to_string(i) + " is " + name + ", expected " + expected.name;
  if (GetText(record.destination) != expected.destination)
    return where + "Destination " + DisplayText(GetText(record.destination)) + ", expected " + expected.destination;
  if (GetText(record.itemVersion) != expected.version)
    return where + "Item Version " + DisplayText(GetText(record.itemVersion)) + ", expected " + expected.version;
  if (record.itemPolicy != expected.policy)
    return where + "Item Policy " + std::to_string(record.itemPolicy) + ", expected " +
           std::to_string(expected.policy);
  std::uint64_t length = expected.length;
  std::uint32_t crc = expected.crc;
  const bool added = !expected.localFile.empty();
  if (added && !SummarizeFile(expected.localFile, length, crc)) return where + "cannot read " + expected.localFile;
  if (record.itemLen == length && record.itemCrc == crc) return "";
  const std::string found = Bytes(record.itemLen, record.itemCrc);
  if (added) return where + found + ", but " + expected.localFile + " holds " + Bytes(length, crc);
  if (expected.fromOriginal) return where + found + ", but the original's record says " + Bytes(length, crc);
  return where + found + ", expected " + Bytes(length, crc);
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const Inspection& inspection, const RepackPlan& plan) {
  std::size_t original = 0;
  std::size_t added = 0;
  for (const ExpectedItem& e : plan.items) {
    original += e.fromOriginal;
    added += !e.localFile.empty();
  }
  return "Verified: " + Count(inspection.records.size(), "item", "items") + ", " +
         std::to_string(inspection.header.headerLen) + "-byte header, all checksums; " +
         Count(original, "image item", "image items") + " identical to the original; " +
         Count(added, "file", "files") + " added";
}

}  // namespace

bool PlanRepack(const char* originalPath, const RepackRequest& request, RepackPlan& plan, std::string& why) {
  plan = RepackPlan{};
  if (originalPath != nullptr && !PlanOriginalItems(originalPath, plan, why)) return false;
  const std::uint32_t slots = std::min<std::uint32_t>(request.descriptorCount, kMaxRequestDescriptors);
  for (std::uint32_t k = 0; k < slots; ++k) PlanDescriptor(GetText(request.descriptors[k]), plan);
  plan.items.push_back({item::kEfs, destination::kEfs, "", 0, "", static_cast<std::uint32_t>(kEfsRecord.size()),
                        Crc32Update(0, kEfsRecord.data(), kEfsRecord.size()), false});
  plan.productList = GetText(request.productList);
  return true;
}

Verdict VerifyRepack(const char* packagePath, const RepackPlan& plan) {
  const Inspection inspection = InspectPackageFile(packagePath);
  if (std::string why = Inconsistency(inspection); !why.empty()) return {false, why};
  const std::vector<ItemRecord>& records = inspection.records;
  if (records.size() != plan.items.size())
    return {false, Count(records.size(), "item", "items") + ", expected " + std::to_string(plan.items.size())};
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (std::string why = Mismatch(i, records[i], plan.items[i]); !why.empty()) return {false, why};
  }
  const std::string products(GetText(inspection.externHeader.productList));
  if (products != plan.productList)
    return {false, "product list " + DisplayText(products) + ", expected " + DisplayText(plan.productList)};
  return {true, Summary(inspection, plan)};
}

}  // namespace quarnet
