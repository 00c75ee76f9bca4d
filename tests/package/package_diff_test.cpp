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
  ASSERT_EQ(d.changedItems.size(), 3u);
  EXPECT_EQ(d.changedItems[0].a.name, "KERNEL");
  EXPECT_TRUE(d.changedItems[0].SameBytes());
  EXPECT_EQ(d.changedItems[0].changes.size(), 1u);
  EXPECT_EQ(d.changedItems[1].changes[0].field, "Destination");
  EXPECT_EQ(d.changedItems[2].b.Place(), "/mnt/a.xml");
  EXPECT_FALSE(d.changedItems[2].SameBytes());
  EXPECT_EQ(d.changedItems[2].changes[0].field, "Item Len");
  EXPECT_EQ(d.changedItems[2].changes[0].a, "4");
  EXPECT_EQ(ItemNames({d.sameItems[0].b, d.sameItems[1].b, d.sameItems[2].b}),
            (std::vector<std::string>{"ROOTFS flash:rootfs", "EFS /var/efs", "UNKNOWN /mnt/b.xml"}));
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
