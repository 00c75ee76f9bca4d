#include "package/package_facts.h"

#include <algorithm>

namespace quarnet {
namespace {

ItemFacts ItemOf(const ItemRecord& r) {
  ItemFacts item;
  item.index = r.index;
  item.name = GetText(r.itemName);
  item.destination = GetText(r.destination);
  item.version = GetText(r.itemVersion);
  item.policy = r.itemPolicy;
  item.reserved = r.reserved;
  item.offset = r.itemOffset;
  item.size = r.itemLen;
  item.crc = r.itemCrc;
  return item;
}

void AddContent(const ItemContent& content, ItemFacts& item) {
  if (content.inside) item.dataCrc = content.crc;
  if (content.wholeHead) item.headVersion = std::string(GetText(content.head.headVersion));
}

// The codes of a product list, each ended by '|' (the last one may lack it).
std::vector<ProductFacts> ProductsOf(std::string_view list, const ProductNamer& names) {
  std::vector<ProductFacts> products;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find('|'), list.size());
    if (end > 0) {
      const std::string_view code = list.substr(0, end);
      products.push_back({std::string(code), names ? names(code) : std::vector<std::string>{}});
    }
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return products;
}

// The Head Version of the first item of `name` that has a whole head.
std::string HeadVersionOf(const std::vector<ItemFacts>& items, std::string_view name) {
  for (const ItemFacts& item : items) {
    if (item.name == name && item.headVersion) return *item.headVersion;
  }
  return "";
}

}  // namespace

std::string_view KindName(PackageKind kind) {
  switch (kind) {
    case PackageKind::kFull: return "full";
    case PackageKind::kCompact: return "compact";
    case PackageKind::kNotPackage: break;
  }
  return "not a package";
}

std::string_view ItemFacts::Place() const {
  const std::string_view prefix = destination::kFilePrefix;
  std::string_view place = destination;
  if (place.substr(0, prefix.size()) == prefix) place.remove_prefix(prefix.size());
  return place;
}

bool PackageFacts::Consistent() const {
  return readable && itemsRead && kind != PackageKind::kNotPackage && FailedChecks() == 0;
}

std::size_t PackageFacts::FailedChecks() const {
  return static_cast<std::size_t>(std::count_if(checks.begin(), checks.end(), [](const Check& c) { return !c.ok; }));
}

PackageFacts FactsOf(const Inspection& in, const ProductNamer& names) {
  PackageFacts facts;
  facts.readable = in.readable;
  facts.kind = in.kind;
  facts.size = in.size;
  facts.itemsRead = in.itemsRead;
  const bool full = in.kind == PackageKind::kFull;
  facts.mark = MarkText(full ? in.header.mark : in.compactHeader.mark).data();
  facts.header = in.header;
  facts.itemNum = full ? in.header.itemNum : in.compactHeader.itemNum;
  facts.productList = GetText(in.externHeader.productList);
  facts.products = ProductsOf(facts.productList, names);
  for (std::size_t i = 0; i < in.records.size(); ++i) {
    facts.items.push_back(ItemOf(in.records[i]));
    if (i < in.contents.size()) AddContent(in.contents[i], facts.items.back());
  }
  facts.kernelVersion = HeadVersionOf(facts.items, item::kKernel);
  facts.rootfsVersion = HeadVersionOf(facts.items, item::kRootfs);
  facts.checks = in.checks;
  facts.notes = in.notes;
  return facts;
}

PackageFacts ReadPackageFacts(const char* path, const ProductNamer& names) {
  return FactsOf(InspectPackageFile(path), names);
}

PackageFacts ReadPackageFacts(InputFile& file, ItemBytes items, const ProductNamer& names) {
  return FactsOf(InspectPackageFile(file, items), names);
}

}  // namespace quarnet
