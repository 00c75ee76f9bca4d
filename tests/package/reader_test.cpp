#include "package/reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "package/job_control.h"
#include "package/job_log.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include "tests/support/faults.h"
#endif

namespace quarnet {
namespace {

using test::Bytes;
using test::BytesOf;
using test::EfsItem;
using test::LayOutCompactPackage;
using test::LayOutPackage;
using test::ListDir;
using test::ReadBytes;
using test::ReadText;
using test::TestItem;
using test::WriteBytes;
using test::WriteText;

struct UnpackResult {
  int result = 0;
  std::vector<std::string> names;  // the filled slots
  std::string productList;
  std::string output;
};

UnpackResult Unpack(const std::string& path, const std::string& productListBefore = "") {
  ItemNameTable names{};
  ProductListBuffer productList{};
  SetText(productList, productListBefore);
  test::CapturedOutput out;
  UnpackResult r;
  r.result = UnpackPackage(path.c_str(), names, productList);
  for (int i = 0; i < r.result; ++i) r.names.emplace_back(GetText(names[static_cast<std::size_t>(i)]));
  r.productList = GetText(productList);
  r.output = out.text();
  return r;
}

TestItem Item(const std::string& name, const std::string& data) { return {name, "file:/x", BytesOf(data), "", 0}; }

class Reader : public test::InTempDir {
 protected:
  ~Reader() override { CloseJobLog(); }
};

TEST_F(Reader, ExportsEveryItemButEfs) {
  WriteBytes("p.bin", LayOutPackage(test::OriginalItems(), test::kProducts));
  OpenJobLog();
  const auto r = Unpack("p.bin");
  CloseJobLog();
  EXPECT_EQ(r.result, 4);
  EXPECT_EQ(r.names, (std::vector<std::string>{"UBOOT", "KERNEL", "ROOTFS", "UPDATEFLAG"}));
  EXPECT_EQ(r.productList, test::kProducts);
  EXPECT_EQ(r.output, "");
  for (const auto& item : test::OriginalItems()) {
    if (item.name == item::kEfs) continue;
    EXPECT_EQ(ReadBytes(item.name + ".bin"), item.data) << item.name;
  }
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"KERNEL.bin", "ROOTFS.bin", "UBOOT.bin", "UPDATEFLAG.bin",
                                                      "p.bin", "pack_xml.log"}));
  const std::string log = ReadText(kJobLogName);
  EXPECT_EQ(log.rfind("File Header  : \r\nMark         : QZNP \r\n", 0), 0u);
  EXPECT_NE(log.find("Product List : 1A0|2B0| \r\nItem 0:\r\nIndex        : 0 \r\n"), std::string::npos);
  EXPECT_NE(log.find("Item 4:\r\nIndex        : 0 \r\n"), std::string::npos);
  EXPECT_NE(log.find("Item Name    : EFS \r\n"), std::string::npos);
}

TEST_F(Reader, EfsInTheMiddleZeroLengthAndDuplicateNames) {
  WriteBytes("p.bin", LayOutPackage({Item("A", "first"), EfsItem(), Item("EMPTY", ""), Item("A", "second"),
                                     Item("efs", "lower case is not EFS")}));
  const auto r = Unpack("p.bin");
  EXPECT_EQ(r.result, 4);
  EXPECT_EQ(r.names, (std::vector<std::string>{"A", "EMPTY", "A", "efs"}));
  EXPECT_EQ(r.productList, "");
  EXPECT_EQ(ReadText("A.bin"), "second");
  EXPECT_TRUE(std::filesystem::exists("EMPTY.bin"));
  EXPECT_EQ(ReadText("EMPTY.bin"), "");
  // "efs.bin" is there, the item "efs": names are compared as written.
  for (const std::string& name : ListDir(dir())) EXPECT_NE(name, "EFS.bin");

  WriteBytes("efs.bin", LayOutPackage({EfsItem()}));
  WriteBytes("none.bin", LayOutPackage({}));
  EXPECT_EQ(Unpack("efs.bin").result, 0);
  EXPECT_EQ(Unpack("none.bin").output, "");
}

TEST_F(Reader, LargeItemsStreamByteExact) {
  Bytes big(700 * 1024 + 5);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
  WriteBytes("p.bin", LayOutPackage({{item::kRootfs, destination::kRootfs, big, "", 0}, EfsItem()}));
  EXPECT_EQ(Unpack("p.bin").result, 1);
  EXPECT_EQ(ReadBytes("ROOTFS.bin"), big);
}

TEST_F(Reader, TruncatedItemDataFailsWithoutPartialFile) {
  Bytes big(300 * 1024 + 7, 0x5A);
  Bytes bytes = LayOutPackage({Item("FIRST", "ok"), {"BIG", "file:/b", big, "", 0}});
  bytes.resize(bytes.size() - 1000);
  WriteBytes("p.bin", bytes);
  const auto r = Unpack("p.bin");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output, "Unpack file BIG error. left size 1000.\r\nExport item BIG error.\r\n");
  EXPECT_EQ(ReadText("FIRST.bin"), "ok");
  EXPECT_FALSE(std::filesystem::exists("BIG.bin"));

  // Data that starts past the end: every byte is missing.
  bytes = LayOutPackage({Item("X", "12345")});
  bytes.resize(bytes.size() - 5);
  WriteBytes("p.bin", bytes);
  EXPECT_EQ(Unpack("p.bin").output, "Unpack file X error. left size 5.\r\nExport item X error.\r\n");
}

// An item of several copy blocks that the package cuts short: the exact
// count of the bytes that were not there, and an earlier file of the
// item's name as it was.
TEST_F(Reader, LongItemCutShortCountsTheMissingBytes) {
  const Bytes big = test::PatternBytes((3 << 20) + 7);
  const std::size_t missing = (1 << 20) + 1000;
  Bytes bytes = LayOutPackage({Item("FIRST", "ok"), {"BIG", "file:/b", big, "", 0}});
  bytes.resize(bytes.size() - missing);
  WriteBytes("p.bin", bytes);
  WriteText("BIG.bin", "earlier");
  const auto r = Unpack("p.bin");
  EXPECT_EQ(r.output,
            "Unpack file BIG error. left size " + std::to_string(missing) + ".\r\nExport item BIG error.\r\n");
  EXPECT_EQ(ReadText("BIG.bin"), "earlier");
}

#ifndef _WIN32
// A write that the disk refuses fails the export instead of leaving a short
// file behind, and the report says why. (A full disk: no file may grow.)
TEST_F(Reader, WriteFailureFailsTheExport) {
  WriteBytes("small.bin", LayOutPackage({Item("X", "abc")}));
  WriteBytes("big.bin", LayOutPackage({{"X", "file:/x", Bytes(20000, 1), "", 0}}));
  const auto unpackFull = [](const char* package) {
    return test::RunInChild([package] {
      test::LimitFileSize(0);
      ResetJobReport();
      const auto r = Unpack(package);
      Print("%s|%s", r.output.c_str(), LastJobReport().reason.c_str());
      return r.result;
    });
  };
  auto r = unpackFull("small.bin");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "Unpack file X error. left size 3.\r\nExport item X error.\r\n|write X.bin: File too large");
  r = unpackFull("big.bin");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output.rfind("Unpack file X error. left size ", 0), 0u) << r.output;
  EXPECT_NE(r.output.find(".\r\nExport item X error.\r\n|write X.bin: File too large"), std::string::npos);
}

#endif

TEST_F(Reader, CompactPackage) {
  const Bytes bytes = LayOutCompactPackage({Item("K", "kernel"), EfsItem(), Item("R", "rootfs")});
  EXPECT_EQ(bytes[28 + 272], 'K');
  EXPECT_EQ(bytes[388 + 272], 'E');
  WriteBytes("c.bin", bytes);
  OpenJobLog();
  const auto r = Unpack("c.bin", "kept|");
  CloseJobLog();
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.names, (std::vector<std::string>{"K", "R"}));
  EXPECT_EQ(r.productList, "kept|");
  EXPECT_EQ(ReadText("R.bin"), "rootfs");
  const std::string log = ReadText(kJobLogName);
  EXPECT_EQ(log.rfind("Item 0:\r\n", 0), 0u);
  EXPECT_NE(log.find("Item 2:\r\n"), std::string::npos);
  EXPECT_EQ(log.find("File Header"), std::string::npos);
}

TEST_F(Reader, UnknownMarksAndMissingFiles) {
  WriteBytes("short.bin", BytesOf("QZN"));
  WriteBytes("other.bin", BytesOf("QZNX and more bytes"));
  WriteBytes("empty.bin", {});
  for (const char* name : {"short.bin", "other.bin", "empty.bin"}) {
    const auto r = Unpack(name);
    EXPECT_EQ(r.result, -1) << name;
    EXPECT_EQ(r.output, "Wrong file input.\r\n") << name;
  }
  const auto r = Unpack("missing.bin");
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.output, "Open file missing.bin error.\r\n");
}

TEST_F(Reader, ShortHeadersAndTables) {
  struct Case {
    Bytes bytes;
    int result;
    std::string output;
  };
  const Bytes full = LayOutPackage({Item("A", "a"), Item("B", "b"), Item("C", "c")});
  const Bytes compact = LayOutCompactPackage({Item("A", "a"), Item("B", "b")});
  const std::vector<Case> cases = {
      // The file header read succeeds with 4 bytes; the extern header read gets none.
      {Bytes(full.begin(), full.begin() + 4), 0, "Parse File Head error.\r\n"},
      {Bytes(full.begin(), full.begin() + 36), 0, "Parse File Head error.\r\n"},
      // Record 1 is read in part (zero fill); record 2 is missing.
      {Bytes(full.begin(), full.begin() + 164 + 360 + 100), 0,
       "Error: Read file item error. index=2, itme=3;\r\nParse Items error.\r\n"},
      {Bytes(full.begin(), full.begin() + 164), 0,
       "Error: Read file item error. index=0, itme=3;\r\nParse Items error.\r\n"},
      // A compact header of 4 bytes reads as Item Num 0.
      {Bytes(compact.begin(), compact.begin() + 4), 0, ""},
      {Bytes(compact.begin(), compact.begin() + 28 + 360), 0,
       "Error: Read file item error. index=1, itme=2;\r\nParse Items error.\r\n"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    WriteBytes("p.bin", cases[i].bytes);
    const auto r = Unpack("p.bin");
    EXPECT_EQ(r.result, cases[i].result) << i;
    EXPECT_EQ(r.output, cases[i].output) << i;
  }
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"p.bin"});
}

// 16 records, the most the table holds, full and compact: all read, the
// 16th too.
TEST_F(Reader, SixteenItemsAreRead) {
  std::vector<TestItem> items;
  for (int i = 0; i < 16; ++i) items.push_back(Item(std::string(1, static_cast<char>('a' + i)), "x"));
  for (const Bytes& package : {LayOutPackage(items), LayOutCompactPackage(items)}) {
    WriteBytes("package.bin", package);
    EXPECT_EQ(Unpack("package.bin").result, 16);
    EXPECT_EQ(ReadText("p.bin"), "x");  // the 16th
    EXPECT_EQ(ListDir(dir()).size(), 17u);
  }
}

// More records than the table holds: refused before any record is read.
TEST_F(Reader, ItemNumAbove16IsRefused) {
  std::vector<TestItem> items;
  for (int i = 0; i < 17; ++i) items.push_back(Item(std::string(1, static_cast<char>('a' + i)), "x"));
  Bytes huge = LayOutPackage({Item("A", "a")});
  huge[20] = huge[21] = huge[22] = huge[23] = 0xFF;  // Item Num 4294967295
  Bytes compactHuge = LayOutCompactPackage({Item("A", "a")});
  compactHuge[23] = 0x80;
  const std::vector<Bytes> packages = {LayOutPackage(items), LayOutCompactPackage(items), huge, compactHuge};
  for (std::size_t i = 0; i < packages.size(); ++i) {
    WriteBytes("p.bin", packages[i]);
    OpenJobLog();
    const auto r = Unpack("p.bin");
    CloseJobLog();
    EXPECT_EQ(r.result, 0) << i;
    EXPECT_EQ(r.output, "Parse Items error.\r\n") << i;
    EXPECT_EQ(ReadText(kJobLogName).find("Item 0:"), std::string::npos) << i;
    EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"p.bin", "pack_xml.log"})) << i;
  }
  ItemTable table{};
  InputFile none;
  EXPECT_EQ(ReadItemRecords(none, 17, table), -1);
}

TEST_F(Reader, NamesThatAreNotPlainFileNamesAreNotExported) {
  std::filesystem::create_directories("work/sub");
  const test::ScopedChdir inWork("work/sub");
  // Control bytes show escaped: a package sends no escape sequence to the terminal.
  const std::pair<std::string, std::string> names[] = {
      {"../../x", "../../x"}, {"a/b", "a/b"},         {"a\\b", "a\\b"},       {"c:x", "c:x"},
      {"", ""},               {"..", ".."},           {"\x1b[2J", "\\x1B[2J"}, {"bell\a", "bell\\x07"},
      {"del\x7f", "del\\x7F"}, {"\x01\x1f", "\\x01\\x1F"}, {"csi\x9b", "csi\\x9B"},
      {"c1\xc2\x9b", "c1\\xC2\\x9B"}, {"\xff", "\\xFF"}};
  for (const auto& [name, shown] : names) {
    WriteBytes("../../p.bin", LayOutPackage({Item("GOOD", "g"), Item(name, "evil")}));
    const auto r = Unpack("../../p.bin");
    EXPECT_EQ(r.result, 0) << name;
    EXPECT_EQ(r.output, "Export item " + shown + " error.\r\n") << name;
    EXPECT_TRUE(ListDir(".").empty()) << name;  // judged before the first export
    EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"p.bin", "work"})) << name;
    EXPECT_EQ(ListDir(dir() / "work"), std::vector<std::string>{"sub"}) << name;
  }
}

TEST_F(Reader, PlainNamesWithDotsAreExported) {
  WriteBytes("p.bin", LayOutPackage({Item("x..y", "1"), Item("..x", "2"), Item("...", "3"), Item("a b", "4")}));
  const auto r = Unpack("p.bin");
  EXPECT_EQ(r.result, 4);
  EXPECT_EQ(ReadText("x..y.bin"), "1");
  EXPECT_EQ(ReadText("..x.bin"), "2");
  EXPECT_EQ(ReadText("....bin"), "3");
  EXPECT_EQ(ReadText("a b.bin"), "4");
}

TEST(ReaderNames, IsPlainItemName) {
  for (const char* name : {"KERNEL", "x..y", "..x", "x.", "a b", "...", "固件", "\xc2\xa0"})
    EXPECT_TRUE(IsPlainItemName(name));
  for (const char* name : {"", ".", "..", "/", "a/", "\\x", "C:", "../x", "x/..", "\x01", "\x1b", "a\x7f", "\t",
                           "\x80", "\x9b", "\xc2\x9b", "\xe5\x9b", "\xc0\xaf", "\xed\xa0\x80"})
    EXPECT_FALSE(IsPlainItemName(name));
  EXPECT_FALSE(IsPlainItemName(std::string_view("a\0b", 3)));
}

// Fields without a NUL are cut at the field's end: the 16-byte name names
// the file, the 128-byte product list is handed back as far as the
// caller's buffer holds it and logged whole.
TEST_F(Reader, FieldsWithoutNul) {
  Bytes bytes = LayOutPackage({Item("A", "data")});
  std::fill(bytes.begin() + 36, bytes.begin() + 164, 'P');
  std::fill(bytes.begin() + 164 + 272, bytes.begin() + 164 + 288, 'N');
  std::fill(bytes.begin() + 164 + 288, bytes.begin() + 164 + 352, 'V');
  WriteBytes("p.bin", bytes);
  OpenJobLog();
  const auto r = Unpack("p.bin");
  CloseJobLog();
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.names, std::vector<std::string>{std::string(16, 'N')});
  EXPECT_EQ(r.productList, std::string(127, 'P'));
  EXPECT_EQ(ReadText(std::string(16, 'N') + ".bin"), "data");
  const std::string log = ReadText(kJobLogName);
  EXPECT_NE(log.find("Product List : " + std::string(128, 'P') + " \r\n"), std::string::npos);
  EXPECT_NE(log.find("Item Version : " + std::string(64, 'V') + " \r\n"), std::string::npos);
}

TEST_F(Reader, ReadItemHeadVersion) {
  WriteBytes("head.bin", test::WithItemHead("V100R002C00", kHeadKernel, BytesOf("payload")));
  WriteText("ten.bin", "0123456789");
  WriteBytes("empty.bin", {});
  Bytes noNul = test::WithItemHead("", kHeadKernel, {});
  std::fill(noNul.begin() + 4, noNul.begin() + 68, 'W');
  WriteBytes("nonul.bin", noNul);

  VersionBuffer version{};
  version.fill('?');
  ASSERT_EQ(ReadItemHeadVersion("head.bin", version), 0);
  EXPECT_EQ(GetText(version), "V100R002C00");
  ASSERT_EQ(ReadItemHeadVersion("ten.bin", version), 0);
  EXPECT_EQ(std::string(version.begin(), version.end()), "456789" + std::string(58, '\0'));
  ASSERT_EQ(ReadItemHeadVersion("nonul.bin", version), 0);
  EXPECT_EQ(GetText(version), std::string(64, 'W'));
  EXPECT_EQ(ReadItemHeadVersion("empty.bin", version), -1);
  EXPECT_EQ(ReadItemHeadVersion("missing.bin", version), -1);
}

}  // namespace
}  // namespace quarnet
