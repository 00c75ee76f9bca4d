#include "package/inspect.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "package/crc32.h"
#include "package/endian.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet {
namespace {

using test::Bytes;
using test::BytesOf;
using test::EfsItem;
using test::LayOutCompactPackage;
using test::LayOutPackage;
using test::TestItem;

std::set<std::string> Failed(const Inspection& in) {
  std::set<std::string> names;
  for (const Check& c : in.checks) {
    if (!c.ok) names.insert(c.name);
  }
  return names;
}

bool Has(const Inspection& in, const std::string& name) {
  for (const Check& c : in.checks) {
    if (c.name == name) return true;
  }
  return false;
}

Bytes Original() { return LayOutPackage(test::OriginalItems(), test::kProducts); }

// Recomputes Header CRC and File CRC after a change, as a careful forger
// would.
void Reseal(Bytes& b) {
  const std::uint32_t n = LoadLE32(&b[20]);
  StoreLE32(&b[16], Crc32Update(0, b.data() + 20, 144 + kItemRecordSize * n));
  StoreLE32(&b[8], Crc32Update(0, b.data() + 12, b.size() - 12));
}

TEST(Inspect, GoodPackageIsConsistent) {
  const Inspection in = InspectPackage(Original());
  EXPECT_TRUE(in.readable);
  EXPECT_EQ(in.kind, PackageKind::kFull);
  EXPECT_TRUE(in.Consistent());
  EXPECT_EQ(Failed(in), std::set<std::string>{});
  EXPECT_EQ(in.records.size(), 5u);
  EXPECT_EQ(GetText(in.externHeader.productList), test::kProducts);
  for (const char* name : {"File Len", "Header Len", "File CRC", "Header CRC", "Item 0 CRC", "Item 4 Range",
                           "Item 1 Head Data Len", "Item 2 Head Data CRC", "File size"}) {
    EXPECT_TRUE(Has(in, name)) << name;
  }
  // Only images with a head are checked as such.
  EXPECT_FALSE(Has(in, "Item 0 Head Data Len"));
}

TEST(Inspect, OneItemExampleLayout) {
  const Bytes b = LayOutPackage({{item::kUboot, destination::kUboot, Bytes(100, 7), "", 0}, EfsItem()});
  ASSERT_EQ(b.size(), 1052u);
  const Inspection in = InspectPackage(b);
  EXPECT_TRUE(in.Consistent());
  EXPECT_EQ(in.header.fileLen, 976u);
  EXPECT_EQ(in.header.headerLen, 848u);
  ASSERT_EQ(in.records.size(), 2u);
  EXPECT_EQ(in.records[0].itemOffset, 884u);
  EXPECT_EQ(in.records[1].itemOffset, 984u);
  EXPECT_EQ(in.records[1].index, 0u);
}

TEST(Inspect, DamageIsNamed) {
  struct Case {
    const char* what;
    void (*damage)(Bytes&);
    std::set<std::string> failed;
  };
  const std::vector<Case> cases = {
      {"File Len", [](Bytes& b) { b[7] ^= 1; }, {"File Len"}},
      {"stored File CRC", [](Bytes& b) { b[8] ^= 1; }, {"File CRC"}},
      {"stored Header CRC", [](Bytes& b) { b[16] ^= 1; }, {"File CRC", "Header CRC"}},
      {"pack total", [](Bytes& b) { b[24] = 9; }, {"File CRC", "Header CRC"}},
      {"item data", [](Bytes& b) { b[164 + 5 * 360] ^= 0x80; }, {"File CRC", "Item 0 CRC"}},
      {"resealed item data", [](Bytes& b) { b[164 + 5 * 360] ^= 0x80, Reseal(b); }, {"Item 0 CRC"}},
      {"resealed extern len", [](Bytes& b) { b[26] = 0, Reseal(b); }, {"Extern Len"}},
      {"resealed item num", [](Bytes& b) { b[20] = 4, Reseal(b); },
       {"Header Len", "Item 0 Offset", "Item 1 Offset", "Item 2 Offset", "Item 3 Offset", "File size"}},
      {"resealed item len", [](Bytes& b) { b[164 + 12] += 1, Reseal(b); },
       {"Item 0 CRC", "Item 1 Offset", "Item 2 Offset", "Item 3 Offset", "Item 4 Offset", "File size"}},
      {"trailing byte", [](Bytes& b) { b.push_back(0), Reseal(b); }, {"File Len", "File size"}},
      {"truncated", [](Bytes& b) { b.pop_back(); }, {"File Len", "File CRC", "Item 4 Range", "File size"}},
      {"item far outside", [](Bytes& b) { StoreLE32(&b[164 + 360 + 8], 0xFFFFFFF0), Reseal(b); },
       {"Item 1 Offset", "Item 1 Range"}},
  };
  for (const Case& c : cases) {
    Bytes b = Original();
    c.damage(b);
    const Inspection in = InspectPackage(b);
    EXPECT_FALSE(in.Consistent()) << c.what;
    EXPECT_EQ(Failed(in), c.failed) << c.what;
  }
}

TEST(Inspect, ItemHeads) {
  Bytes kernel = test::WithItemHead("V1", kHeadKernel, BytesOf("kernel payload"));
  Bytes badLen = kernel;
  StoreLE32(&badLen[76], 99);
  Bytes badCrc = kernel;
  StoreLE32(&badCrc[80], 0);
  const Bytes shortHead = BytesOf("zqzq too short");
  const Bytes ok = LayOutPackage({{item::kKernel, destination::kKernel, kernel, "V1", 0}});
  EXPECT_TRUE(InspectPackage(ok).Consistent());
  EXPECT_EQ(Failed(InspectPackage(LayOutPackage({{item::kMinisys, destination::kMinisys, badLen, "", 0}}))),
            std::set<std::string>{"Item 0 Head Data Len"});
  EXPECT_EQ(Failed(InspectPackage(LayOutPackage({{item::kSystem, destination::kSystem, badCrc, "", 0}}))),
            std::set<std::string>{"Item 0 Head Data CRC"});
  EXPECT_EQ(Failed(InspectPackage(LayOutPackage({{item::kRootfs, destination::kRootfs, shortHead, "", 0}}))),
            std::set<std::string>{"Item 0 Head"});
  // Other kinds carry no head, whatever their bytes.
  EXPECT_TRUE(InspectPackage(LayOutPackage({{item::kUboot, destination::kUboot, badLen, "", 0}})).Consistent());
}

TEST(Inspect, CompactPackagesCheckOnlyTheirRecords) {
  Bytes b = LayOutCompactPackage({{item::kKernel, destination::kKernel, test::WithItemHead("V", 1, BytesOf("k")), "", 0},
                                  EfsItem()});
  Inspection in = InspectPackage(b);
  EXPECT_EQ(in.kind, PackageKind::kCompact);
  EXPECT_TRUE(in.Consistent());
  EXPECT_FALSE(Has(in, "File CRC"));
  EXPECT_TRUE(Has(in, "Item 0 Head Data CRC"));
  ASSERT_EQ(in.notes.size(), 1u);
  EXPECT_NE(in.notes[0].find("only the item records are checked"), std::string::npos);

  b.back() ^= 1;
  EXPECT_EQ(Failed(InspectPackage(b)), std::set<std::string>{"Item 1 CRC"});
  b.resize(27);
  EXPECT_EQ(Failed(InspectPackage(b)), std::set<std::string>{"Header size"});
}

TEST(Inspect, ItemNumAbove16) {
  std::vector<TestItem> items(17, {"X", "file:/x", BytesOf("x"), "", 0});
  Inspection in = InspectPackage(LayOutPackage(items));
  EXPECT_FALSE(in.Consistent());
  EXPECT_EQ(Failed(in), std::set<std::string>{"Item Num"});
  EXPECT_EQ(in.records.size(), 16u);

  Bytes b = LayOutCompactPackage({{"X", "file:/x", BytesOf("x"), "", 0}});
  StoreLE32(&b[20], 0xFFFFFFFF);
  in = InspectPackage(b);
  EXPECT_EQ(Failed(in), (std::set<std::string>{"Item Num", "Item table"}));
  EXPECT_EQ(in.records.size(), 1u);
}

TEST(Inspect, NotPackagesAndShortHeaders) {
  for (const Bytes& b : {Bytes{}, BytesOf("QZN"), BytesOf("QZNX-------"), BytesOf("zqzq")}) {
    const Inspection in = InspectPackage(b);
    EXPECT_TRUE(in.readable);
    EXPECT_EQ(in.kind, PackageKind::kNotPackage);
    EXPECT_FALSE(in.Consistent());
  }
  const Inspection in = InspectPackage(BytesOf("QZNP"));
  EXPECT_EQ(in.kind, PackageKind::kFull);
  EXPECT_EQ(Failed(in), std::set<std::string>{"Header size"});
}

// Every byte of a package is covered by a length, a mark or a checksum: no
// single change and no truncation goes unnoticed.
TEST(Inspect, EveryChangeIsNoticed) {
  const Bytes good = LayOutPackage({{item::kKernel, destination::kKernel, test::WithItemHead("V", 1, Bytes(50, 3)),
                                     "V", 0},
                                    {"", "", {}, "", 0},
                                    EfsItem()});
  ASSERT_TRUE(InspectPackage(good).Consistent());
  for (std::size_t i = 0; i < good.size(); ++i) {
    Bytes b = good;
    b[i] ^= 0x10;
    EXPECT_FALSE(InspectPackage(b).Consistent()) << "byte " << i;
    b = Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(i));
    EXPECT_FALSE(InspectPackage(b).Consistent()) << "length " << i;
  }
}

// Arbitrary bytes behind either mark: no crash, no read outside (the
// sanitizers watch), and never consistent by accident.
TEST(Inspect, RandomBytesAreSafe) {
  std::mt19937 rng(11);
  const Bytes good = Original();
  for (int round = 0; round < 3000; ++round) {
    Bytes b;
    if (round % 2 == 0) {
      b.resize(rng() % 3000);
      for (auto& x : b) x = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : rng() % 20);
      if (b.size() >= 4) StoreLE32(b.data(), round % 4 == 0 ? kPackageMark : kCompactMark);
    } else {
      b = good;
      for (int k = 0; k < 3; ++k) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
      b.resize(rng() % (b.size() + 1));
    }
    const Inspection in = InspectPackage(b);
    EXPECT_LE(in.records.size(), 16u);
  }
}

// Every bound of the escaper: the last C0 code and the first shown one, DEL,
// the first and last C1 code and the first code after them, broken and
// overlong forms, surrogates and the end of Unicode.
TEST(Inspect, DisplayTextEscapes) {
  const std::pair<std::string, std::string> rows[] = {
      {"KERNEL", "KERNEL"},
      {std::string("a\x1b[2J\r\n\xff\0", 9), "a\\x1B[2J\\x0D\\x0A\\xFF\\x00"},
      {"\x1f ~", "\\x1F ~"},
      {"\x7f", "\\x7F"},
      {"\xc2\x80", "\\xC2\\x80"},
      {"\xc2\x9f", "\\xC2\\x9F"},
      {"\xc2\xa0", "\xc2\xa0"},
      {"\xc1\xbf", "\\xC1\\xBF"},
      {"\xe0\x9f\xbf", "\\xE0\\x9F\\xBF"},
      {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},
      {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"固件\xe5\x9b", "固件\\xE5\\x9B"},
  };
  for (const auto& [text, shown] : rows) {
    EXPECT_EQ(DisplayText(text), shown) << shown;
    EXPECT_EQ(IsDisplayable(text), text == shown) << shown;
  }
  // A window's text escapes only what is not UTF-8.
  EXPECT_EQ(WindowText(std::string("a\x1b\r\n\xc2\x80\xff\xe5\x9b", 9)), "a\x1b\r\n\xc2\x80\\xFF\\xE5\\x9B");
}

class InspectFile : public test::InTempDir {};

TEST_F(InspectFile, StreamsTheSameResult) {
  Bytes big(600 * 1024, 0x42);
  Bytes b = LayOutPackage({{item::kRootfs, destination::kRootfs, test::WithItemHead("V", 2, big), "V", 0}});
  test::WriteBytes("p.bin", b);
  Inspection in = InspectPackageFile("p.bin");
  EXPECT_TRUE(in.readable);
  EXPECT_TRUE(in.Consistent());
  EXPECT_EQ(in.checks.size(), InspectPackage(b).checks.size());

  b[b.size() - 1] ^= 1;
  test::WriteBytes("p.bin", b);
  EXPECT_EQ(Failed(InspectPackageFile("p.bin")), Failed(InspectPackage(b)));

  EXPECT_FALSE(InspectPackageFile("missing.bin").readable);
  std::filesystem::create_directory("dir.bin");
  EXPECT_FALSE(InspectPackageFile("dir.bin").readable);
}

}  // namespace
}  // namespace quarnet
