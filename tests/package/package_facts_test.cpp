#include "package/package_facts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet {
namespace {

using test::Bytes;
using test::BytesOf;
using test::LayOutPackage;

std::vector<std::string> Names(std::string_view code) {
  if (code == "1A0") return {"Ambrel-1", "Ambrel-2"};
  return {};
}

TEST(PackageFacts, TellVersionProductsAndItems) {
  auto items = test::OriginalItems();
  items.push_back({item::kUnknown, "file:/mnt/a.xml", BytesOf("<a/>"), "", 2});
  const PackageFacts f = FactsOf(InspectPackage(LayOutPackage(items, "1A0|2B0")), Names);
  EXPECT_TRUE(f.Consistent());
  EXPECT_EQ(f.mark, "QZNP");
  EXPECT_EQ(f.itemNum, 6u);
  EXPECT_EQ(f.kernelVersion, test::kVersion);
  EXPECT_EQ(f.rootfsVersion, test::kVersion);
  ASSERT_EQ(f.products.size(), 2u);
  EXPECT_EQ(f.products[0].names, (std::vector<std::string>{"Ambrel-1", "Ambrel-2"}));
  EXPECT_EQ(f.products[1].code, "2B0");
  EXPECT_TRUE(f.products[1].names.empty());
  ASSERT_EQ(f.items.size(), 6u);
  EXPECT_EQ(f.items[1].headVersion, test::kVersion);
  EXPECT_FALSE(f.items[0].headVersion);
  EXPECT_EQ(f.items[5].Place(), "/mnt/a.xml");
  EXPECT_EQ(f.items[1].Place(), "flash:kernel");
  EXPECT_EQ(f.items[5].policy, 2u);
  for (const ItemFacts& item : f.items) EXPECT_TRUE(item.CrcAgrees()) << item.name;
}

class PackageFactsFile : public test::InTempDir {};

TEST_F(PackageFactsFile, ItemWhoseBytesDisagreeAndSkippedBytes) {
  Bytes b = LayOutPackage(test::OriginalItems(), test::kProducts);
  b.back() ^= 1;  // the EFS item's last byte
  PackageFacts f = FactsOf(InspectPackage(b));
  EXPECT_FALSE(f.Consistent());
  EXPECT_FALSE(f.items.back().CrcAgrees());
  EXPECT_NE(f.items.back().ContentCrc(), f.items.back().crc);

  test::WriteBytes("p.bin", b);
  InputFile file;
  ASSERT_TRUE(file.Open("p.bin"));
  f = ReadPackageFacts(file, ItemBytes::kSkipped);
  EXPECT_TRUE(f.readable);
  EXPECT_FALSE(f.Consistent());
  ASSERT_EQ(f.items.size(), 5u);
  EXPECT_FALSE(f.items.back().dataCrc);
  EXPECT_EQ(f.items.back().ContentCrc(), f.items.back().crc);
  EXPECT_EQ(f.kernelVersion, "");
}

}  // namespace
}  // namespace quarnet
