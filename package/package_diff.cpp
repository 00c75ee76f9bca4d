#include "package/package_diff.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quarnet {
namespace {

std::string Dec(std::uint32_t value) { return std::to_string(value); }

std::string Hex(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08x", value);
  return text.data();
}

std::string HexDec(std::uint32_t value) { return Hex(value) + " (" + Dec(value) + ")"; }

void Differ(std::vector<FieldChange>& changes, const char* field, std::string a, std::string b) {
  if (a != b) changes.push_back({field, std::move(a), std::move(b)});
}

void CompareFullHeaders(const PackageFileHeader& a, const PackageFileHeader& b, std::vector<FieldChange>& out) {
  Differ(out, "File Len", HexDec(a.fileLen), HexDec(b.fileLen));
  Differ(out, "File CRC", HexDec(a.fileCrc), HexDec(b.fileCrc));
  Differ(out, "Header Len", HexDec(a.headerLen), HexDec(b.headerLen));
  Differ(out, "Header CRC", HexDec(a.headerCrc), HexDec(b.headerCrc));
  Differ(out, "Pack Total", Dec(a.packTotal), Dec(b.packTotal));
  Differ(out, "Pack Num", Dec(a.packNum), Dec(b.packNum));
  Differ(out, "Extern Len", HexDec(a.externLen), HexDec(b.externLen));
  Differ(out, "Item Info Len", HexDec(a.itemInfoLen), HexDec(b.itemInfoLen));
  Differ(out, "Spare", HexDec(a.spare), HexDec(b.spare));
  Differ(out, "Reserved", HexDec(a.reserved), HexDec(b.reserved));
}

std::vector<FieldChange> HeaderChanges(const PackageFacts& a, const PackageFacts& b) {
  std::vector<FieldChange> out;
  Differ(out, "Kind", std::string(KindName(a.kind)), std::string(KindName(b.kind)));
  Differ(out, "Item Num", Dec(a.itemNum), Dec(b.itemNum));
  if (a.kind == PackageKind::kFull && b.kind == PackageKind::kFull) CompareFullHeaders(a.header, b.header, out);
  Differ(out, "Kernel Head Version", a.kernelVersion, b.kernelVersion);
  Differ(out, "Rootfs Head Version", a.rootfsVersion, b.rootfsVersion);
  return out;
}

// The codes of `x` that `y` lacks, each once, in the order of `x`.
std::vector<std::string> CodesNotIn(const PackageFacts& x, const PackageFacts& y) {
  std::vector<std::string> codes;
  for (const ProductFacts& p : x.products) {
    const auto same = [&](const ProductFacts& q) { return q.code == p.code; };
    if (std::none_of(y.products.begin(), y.products.end(), same) &&
        std::find(codes.begin(), codes.end(), p.code) == codes.end())
      codes.push_back(p.code);
  }
  return codes;
}

std::vector<FieldChange> ItemChanges(const ItemFacts& a, const ItemFacts& b) {
  std::vector<FieldChange> out;
  Differ(out, "Item Len", Dec(a.size), Dec(b.size));
  Differ(out, "Item CRC", Hex(a.ContentCrc()), Hex(b.ContentCrc()));
  Differ(out, "Destination", a.destination, b.destination);
  Differ(out, "Item Policy", Dec(a.policy), Dec(b.policy));
  Differ(out, "Item Version", a.version, b.version);
  return out;
}

// For each item of `a`, the index of its partner in `b`, or -1.
std::vector<int> MatchItems(const std::vector<ItemFacts>& a, const std::vector<ItemFacts>& b) {
  std::vector<int> partner(a.size(), -1);
  std::vector<bool> taken(b.size(), false);
  for (const bool sameDestination : {true, false}) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      for (std::size_t j = 0; j < b.size() && partner[i] < 0; ++j) {
        if (taken[j] || a[i].name != b[j].name) continue;
        if (sameDestination && a[i].destination != b[j].destination) continue;
        partner[i] = static_cast<int>(j);
        taken[j] = true;
      }
    }
  }
  return partner;
}

}  // namespace

bool ItemPair::SameBytes() const { return a.size == b.size && a.ContentCrc() == b.ContentCrc(); }

bool PackageDiff::Same() const {
  return header.empty() && productsOnlyInA.empty() && productsOnlyInB.empty() && onlyInA.empty() &&
         onlyInB.empty() && std::all_of(matched.begin(), matched.end(), [](const ItemPair& p) { return p.Same(); });
}

PackageDiff ComparePackages(const PackageFacts& a, const PackageFacts& b) {
  PackageDiff d;
  d.header = HeaderChanges(a, b);
  d.productsOnlyInA = CodesNotIn(a, b);
  d.productsOnlyInB = CodesNotIn(b, a);
  if (d.productsOnlyInA.empty() && d.productsOnlyInB.empty())
    Differ(d.header, "Product List", a.productList, b.productList);
  const std::vector<int> partner = MatchItems(a.items, b.items);
  std::vector<bool> matched(b.items.size(), false);
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    if (partner[i] < 0) {
      d.onlyInA.push_back(a.items[i]);
      continue;
    }
    const ItemFacts& other = b.items[static_cast<std::size_t>(partner[i])];
    matched[static_cast<std::size_t>(partner[i])] = true;
    d.matched.push_back({a.items[i], other, ItemChanges(a.items[i], other)});
  }
  for (std::size_t j = 0; j < b.items.size(); ++j) {
    if (!matched[j]) d.onlyInB.push_back(b.items[j]);
  }
  return d;
}

}  // namespace quarnet
