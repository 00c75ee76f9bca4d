#include "package/package_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/package_check.h"

namespace quarnet {
namespace {

using test::BytesOf;
using test::TestItem;

PackageFacts Facts(const std::vector<TestItem>& items, const std::string& products = test::kProducts) {
  return FactsOf(InspectPackage(test::LayOutPackage(items, products)));
}

std::vector<std::string> ItemNames(const std::vector<ItemFacts>& items) {
  std::vector<std::string> names;
  for (const ItemFacts& item : items) names.push_back(item.name + " " + std::string(item.Place()));
  return names;
}

// Items of one name pair by their destination first, then in order; an item
// kept byte for byte may carry another record.
TEST(PackageDiff, MatchesItemsByNameThenDestination) {
  auto a = test::OriginalItems();
  a.push_back({item::kUnknown, "file:/mnt/a.xml", BytesOf("<a/>"), "", 0});
  a.push_back({item::kUnknown, "file:/mnt/b.xml", BytesOf("<b/>"), "", 0});
  auto b = a;
  std::swap(b[5], b[6]);
  b[6].data = BytesOf("<a2/>");
  b[1].version = "V2";
  b[3].destination = "file:/mnt/flag";
  b.erase(b.begin());
  b.push_back({item::kUnknown, "file:/mnt/c.xml", BytesOf("<c/>"), "", 2});
  const PackageDiff d = ComparePackages(Facts(a), Facts(b, "1A0|3C0|"));
  EXPECT_FALSE(d.Same());
  EXPECT_EQ(ItemNames(d.onlyInA), std::vector<std::string>{"UBOOT flash:uboot"});
  EXPECT_EQ(ItemNames(d.onlyInB), std::vector<std::string>{"UNKNOWN /mnt/c.xml"});
  std::vector<std::string> matched;
  for (const ItemPair& p : d.matched) {
    std::string line = p.b.name + " " + std::string(p.b.Place()) + ":";
    for (const FieldChange& c : p.changes) line += " " + c.field;
    matched.push_back(line);
  }
  EXPECT_EQ(matched, (std::vector<std::string>{"KERNEL flash:kernel: Item Version", "ROOTFS flash:rootfs:",
                                               "UPDATEFLAG /mnt/flag: Destination", "EFS /var/efs:",
                                               "UNKNOWN /mnt/a.xml: Item Len Item CRC", "UNKNOWN /mnt/b.xml:"}));
  EXPECT_TRUE(d.matched[0].SameBytes());
  EXPECT_FALSE(d.matched[4].SameBytes());
  EXPECT_EQ(d.matched[4].changes[0].a, "4");
  EXPECT_EQ(d.productsOnlyInA, std::vector<std::string>{"2B0"});
  EXPECT_EQ(d.productsOnlyInB, std::vector<std::string>{"3C0"});
  EXPECT_EQ(d.header[0].field, "File Len");

  EXPECT_TRUE(ComparePackages(Facts(a), Facts(a)).Same());
  const PackageDiff order = ComparePackages(Facts(a), Facts(a, "2B0|1A0|"));
  ASSERT_EQ(order.header.size(), 3u);
  EXPECT_EQ(order.header.back().field, "Product List");
}

}  // namespace
}  // namespace quarnet
