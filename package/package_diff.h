#pragma once
// Two packages compared as values: their header fields, their product lists
// and their items. Items are matched by name: first those of one name and
// one destination, then the rest of one name, each in package order, so
// that items of a name that occurs more than once (the added files) pair by
// their place on the device.
#include <string>
#include <vector>

#include "package/package_facts.h"

namespace quarnet {

// One field that differs: its name and its value in A and in B, as text
// (numbers formatted, texts the package's bytes).
struct FieldChange {
  std::string field;
  std::string a;
  std::string b;
};

// An item of A and the item of B it was matched with.
struct ItemPair {
  ItemFacts a;
  ItemFacts b;
  // Those of size, CRC, destination, policy and version that differ.
  std::vector<FieldChange> changes;

  bool Same() const { return changes.empty(); }
  // The same length and CRC of the bytes: the item was kept byte for byte.
  bool SameBytes() const;
};

struct PackageDiff {
  // Kind, Item Num, the version of the kernel and root file system heads
  // and, between two full packages, the other header fields; "Product List"
  // when the lists hold the same codes, written differently.
  std::vector<FieldChange> header;
  std::vector<std::string> productsOnlyInA;
  std::vector<std::string> productsOnlyInB;
  std::vector<ItemPair> matched;  // in A's order, the same and the changed
  std::vector<ItemFacts> onlyInA;
  std::vector<ItemFacts> onlyInB;

  bool Same() const;
};

PackageDiff ComparePackages(const PackageFacts& a, const PackageFacts& b);

}  // namespace quarnet
