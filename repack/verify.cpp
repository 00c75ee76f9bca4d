#include "repack/verify.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "package/crc32.h"
#include "package/file_copy.h"
#include "package/inspect.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

// "-n<local file>@<device path>", with a final "&" for policy 2, as the
// builder reads it; a descriptor without "@" adds nothing.
// The bytes come from `staged` when the job staged the local file, else
// from the file as it is now.
bool PlanDescriptor(std::string_view descriptor, const std::vector<StagedInput>& staged, RepackPlan& plan) {
  if (descriptor.rfind("-n", 0) != 0) return true;
  descriptor.remove_prefix(2);
  const std::size_t at = descriptor.find('@');
  if (at == std::string_view::npos) return true;
  std::uint32_t policy = 0;
  if (descriptor.back() == '&') {
    policy = 2;
    descriptor.remove_suffix(1);
  }
  ExpectedItem e{item::kUnknown, std::string(destination::kFilePrefix).append(descriptor.substr(at + 1)), "",
                 policy, 0, 0, std::string(descriptor.substr(0, at))};
  const auto s = std::find_if(staged.begin(), staged.end(), [&](const StagedInput& i) { return i.localPath == e.source; });
  if (s != staged.end()) {
    e.length = s->length;
    e.crc = s->crc;
    e.source = "staged " + e.source;
  } else if (!SummarizeFile(e.source, e.length, e.crc)) {
    return false;
  }
  plan.items.push_back(std::move(e));
  return true;
}

std::string Hex(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08" PRIx32, value);
  return text.data();
}

std::string Bytes(std::uint64_t length, std::uint32_t crc) {
  return std::to_string(length) + " bytes with CRC " + Hex(crc);
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
  if (record.itemLen == expected.length && record.itemCrc == expected.crc) return "";
  const std::string found = Bytes(record.itemLen, record.itemCrc);
  const std::string wanted = Bytes(expected.length, expected.crc);
  if (expected.source.empty()) return where + found + ", expected " + wanted;
  return where + found + ", but " + expected.source + " holds " + wanted;
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

VerifiedCounts CountsOf(const Inspection& inspection, const RepackPlan& plan) {
  VerifiedCounts c{inspection.records.size(), inspection.header.headerLen, 0, 0};
  for (const ExpectedItem& e : plan.items) {
    c.imageItems += e.source == "the exported item";
    c.addedFiles += e.name == item::kUnknown;
  }
  return c;
}

// Without image items from an original, nothing is said of one.
std::string Summary(const VerifiedCounts& c) {
  const std::string images =
      c.imageItems > 0 ? Count(c.imageItems, "image item", "image items") + " identical to the original; " : "";
  return "Verified: " + Count(c.items, "item", "items") + ", " + std::to_string(c.headerBytes) +
         "-byte header, all checksums; " + images + Count(c.addedFiles, "file", "files") + " added";
}

}  // namespace

bool SummarizeFile(const std::string& path, std::uint64_t& length, std::uint32_t& crc) {
  InputFile file;
  if (!file.Open(path)) return false;
  crc = 0;
  FileSource source(file);
  WriteSink sink(nullptr, kToEnd);
  const CopyResult r = CopyBlocks(source, sink, kToEnd, &crc);
  length = r.copied;
  return r.complete;
}

bool PlanRepack(const ItemNameTable& names, const ExportTable& exported, int count, const std::string& version,
                const RepackRequest& request, const std::vector<StagedInput>& staged, RepackPlan& plan) {
  plan = RepackPlan{};
  for (int i = 0; i < count; ++i) {
    const std::string_view name = GetText(names[i]);
    const item::Word word = item::Find(name);
    plan.items.push_back({std::string(name), std::string(word.destination), word.versioned ? version : "", 0,
                          exported[i].length, exported[i].crc, "the exported item"});
  }
  const std::uint32_t slots = std::min<std::uint32_t>(request.descriptorCount, kMaxRequestDescriptors);
  for (std::uint32_t k = 0; k < slots; ++k) {
    if (!PlanDescriptor(GetText(request.descriptors[k]), staged, plan)) return false;
  }
  plan.items.push_back({item::kEfs, destination::kEfs, "", 0, kEfsRecord.size(),
                        Crc32Update(0, kEfsRecord.data(), kEfsRecord.size()), ""});
  plan.productList = GetText(request.productList);
  return true;
}

namespace {

// The first mismatch between the package and the plan, or "".
std::string FirstMismatch(const Inspection& inspection, const RepackPlan& plan) {
  if (std::string why = Inconsistency(inspection); !why.empty()) return why;
  const std::vector<ItemRecord>& records = inspection.records;
  if (records.size() != plan.items.size())
    return Count(records.size(), "item", "items") + ", expected " + std::to_string(plan.items.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (std::string why = Mismatch(i, records[i], plan.items[i]); !why.empty()) return why;
  }
  const std::string products(GetText(inspection.externHeader.productList));
  if (products != plan.productList)
    return "product list " + DisplayText(products) + ", expected " + DisplayText(plan.productList);
  return "";
}

}  // namespace

Verdict VerifyRepack(InputFile& package, const RepackPlan& plan) {
  const Inspection inspection = InspectPackageFile(package);
  if (std::string why = FirstMismatch(inspection, plan); !why.empty()) return {false, why, {}, {}};
  const VerifiedCounts counts = CountsOf(inspection, plan);
  return {true, Summary(counts), counts, FactsOf(inspection)};
}

}  // namespace quarnet
