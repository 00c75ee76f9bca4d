// Package assembly through PackAll: exact bytes, every field read back,
// system mode, head files, the build-failure lines and what stays on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "basic/build.h"
#include "package/crc32.h"
#include "package/reader.h"
#include "tests/basic/packall_support.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

using Assembly = InTempDir;

TEST_F(Assembly, KernelAndRootfsGiveTheWorkedExampleBytes) {
  const Bytes kernel = Pattern(10, 1), rootfs = Pattern(20, 2);
  WriteBytes("k", kernel);
  WriteBytes("r", rootfs);
  ASSERT_EQ(RunPackAll({"-Kk", "-Rr", "-vV1"}).output, "");
  const Bytes bytes = ReadBytes("package[KR].bin");
  ASSERT_EQ(bytes.size(), 1342u);
  EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 8), (Bytes{0x00, 0x00, 0x04, 0xF2}));
  const Bytes expected = LayOutPackage(
      {{"KERNEL", "flash:kernel", kernel, "V1"}, {"ROOTFS", "flash:rootfs", rootfs, "V1"}, EfsItem()});
  EXPECT_EQ(bytes, expected);

  const DecodedPackage p = DecodePackageFile("package[KR].bin");
  EXPECT_EQ(p.header.mark, kPackageMark);
  EXPECT_EQ(p.header.fileLen, 1266u);
  EXPECT_EQ(p.header.headerLen, 1208u);
  EXPECT_EQ(p.header.itemNum, 3u);
  EXPECT_EQ(p.header.externLen, 128);
  EXPECT_EQ(p.header.itemInfoLen, 360);
  ASSERT_EQ(p.items.size(), 3u);
  const std::uint32_t offsets[] = {1244, 1254, 1274};
  const std::uint32_t indices[] = {0, 1, 0};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(p.items[i].record.itemOffset, offsets[i]);
    EXPECT_EQ(p.items[i].record.index, indices[i]);
  }
  EXPECT_EQ(GetText(p.items[2].record.itemName), "EFS");
  EXPECT_EQ(GetText(p.items[2].record.destination), "file:/var/efs");
  EXPECT_EQ(p.items[2].data, Bytes(kEfsRecord.begin(), kEfsRecord.end()));
}

TEST_F(Assembly, SingleOneByteDescriptor) {
  WriteText("cfg", "x");
  ASSERT_EQ(RunPackAll({"-ncfg@/mnt/jffs2/qz_ctree.xml"}).output, "");
  const DecodedPackage p = DecodePackageFile("package[].bin");
  EXPECT_EQ(ReadBytes("package[].bin").size(), 953u);
  EXPECT_EQ(p.header.headerLen, 848u);
  EXPECT_EQ(p.header.fileLen, 877u);
  ASSERT_EQ(p.items.size(), 2u);
  EXPECT_EQ(GetText(p.items[0].record.itemName), "UNKNOWN");
  EXPECT_EQ(GetText(p.items[0].record.destination), "file:/mnt/jffs2/qz_ctree.xml");
  EXPECT_EQ(p.items[0].record.itemPolicy, 0u);
}

TEST_F(Assembly, EveryNormalItemReadsBackThroughTheReader) {
  const Bytes uboot = Pattern(100, 3), minisys = Pattern(33, 4), kernel = Pattern(4097, 5),
              rootfs = Pattern(70000, 6), flag = Pattern(1, 7), cfg = Pattern(5, 8), script = Pattern(9, 9);
  WriteBytes("u", uboot);
  WriteBytes("y", minisys);
  WriteBytes("k", kernel);
  WriteBytes("r", rootfs);
  WriteBytes("f", flag);
  WriteBytes("c", cfg);
  WriteBytes("s", script);
  ASSERT_EQ(RunPackAll({"-ns@/var/default_script.sh&", "-Uu", "-Yy", "-Kk", "-Rr", "-Ff", "-vV100R002",
                        "-LA1|B2|", "-A3", "-N2", "-nc@/mnt/jffs2/qz_ctree.xml", "-nnone", "-T"})
                .output,
            "");
  const std::string name = "package[UMKRF]_debug.bin";
  const DecodedPackage p = DecodePackageFile(name);
  EXPECT_EQ(p.header.packTotal, 3);
  EXPECT_EQ(p.header.packNum, 2);
  EXPECT_EQ(GetText(p.externHeader.productList), "A1|B2|");

  struct Expect {
    const char* name;
    const char* destination;
    const char* version;
    std::uint32_t policy;
    const Bytes* data;
  };
  const Expect expected[] = {
      {"UBOOT", "flash:uboot", "", 1, &uboot},
      {"MINISYS", "flash:minisys", "", 1, &minisys},
      {"KERNEL", "flash:kernel", "V100R002", 1, &kernel},
      {"ROOTFS", "flash:rootfs", "V100R002", 1, &rootfs},
      {"UPDATEFLAG", "file:/mnt/jffs2/Updateflag", "", 1, &flag},
      {"UNKNOWN", "file:/var/default_script.sh", "", 2, &script},
      {"UNKNOWN", "file:/mnt/jffs2/qz_ctree.xml", "", 0, &cfg},
  };
  ASSERT_EQ(p.items.size(), 8u);
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(p.items[i].record.index, i);
    EXPECT_EQ(GetText(p.items[i].record.itemName), expected[i].name);
    EXPECT_EQ(GetText(p.items[i].record.destination), expected[i].destination);
    EXPECT_EQ(GetText(p.items[i].record.itemVersion), expected[i].version);
    EXPECT_EQ(p.items[i].record.itemPolicy, expected[i].policy);
    EXPECT_EQ(p.items[i].data, *expected[i].data) << i;
  }
  EXPECT_EQ(p.items[7].record.itemPolicy, 0u);

  // The reader exports each item under its name.
  ItemNameTable names{};
  ProductListBuffer products{};
  fs::create_directory("out");
  const fs::path package = fs::absolute(name);
  ScopedChdir into("out");
  EXPECT_EQ(UnpackPackage(Utf8(package).c_str(), names, products), 7);
  EXPECT_EQ(ReadBytes("KERNEL.bin"), kernel);
  EXPECT_EQ(ReadBytes("ROOTFS.bin"), rootfs);
  EXPECT_EQ(GetText(products), "A1|B2|");
}

TEST_F(Assembly, DescriptorForms) {
  WriteText("a", "a");
  WriteText("a&b", "b");
  ASSERT_EQ(RunPackAll({"-na@", "-na@&", "-na&b@/dev&path&", "-n@x", "-na"}).output, ErrorLine(554));
  ASSERT_EQ(RunPackAll({"-na@", "-na@&", "-na&b@/dev&path&", "-na"}).output, "");
  const DecodedPackage p = DecodePackageFile("package[].bin");
  ASSERT_EQ(p.items.size(), 4u);
  EXPECT_EQ(GetText(p.items[0].record.destination), "file:");
  EXPECT_EQ(p.items[0].record.itemPolicy, 0u);
  EXPECT_EQ(GetText(p.items[1].record.destination), "file:");
  EXPECT_EQ(p.items[1].record.itemPolicy, 2u);
  EXPECT_EQ(GetText(p.items[2].record.destination), "file:/dev&path");
  EXPECT_EQ(p.items[2].data, BytesOf("b"));
}

TEST_F(Assembly, SystemModes) {
  WriteBytes("u", Pattern(11, 1));
  WriteBytes("k", Pattern(1000, 2));
  WriteBytes("r", Pattern(3000, 3));
  WriteText("y", "ignored");
  WriteText("c", "ignored");
  Bytes system = Pattern(1000, 2);
  const Bytes rootfs = Pattern(3000, 3);
  system.insert(system.end(), rootfs.begin(), rootfs.end());
  struct Case {
    const char* mode;
    const char* name;
    const char* destination;
  };
  for (const Case c : {Case{"-S", "SYSTEM", "flash:system"}, Case{"-I", "MINISYS", "flash:minisys"}}) {
    ASSERT_EQ(RunPackAll({"-Uu", c.mode, "-Kk", "-Rr", "-Yy", "-Ff", "-nc@/x", "-vV2"}).output, "");
    EXPECT_EQ(ReadBytes("system.bin"), system);
    const DecodedPackage p = DecodePackageFile("package[US].bin");
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(GetText(p.items[1].record.itemName), c.name);
    EXPECT_EQ(GetText(p.items[1].record.destination), c.destination);
    EXPECT_EQ(GetText(p.items[1].record.itemVersion), "V2");
    EXPECT_EQ(p.items[1].data, system);
  }
  // The later mode letter decides.
  ASSERT_EQ(RunPackAll({"-I", "-S", "-Kk", "-Rr", "-T"}).output, "");
  const DecodedPackage p = DecodePackageFile("package[S]_debug.bin");
  EXPECT_EQ(GetText(p.items[0].record.itemName), "SYSTEM");
  EXPECT_EQ(p.items[0].record.itemPolicy, 1u);
}

TEST_F(Assembly, HeadFilesBecomeTheItems) {
  WriteBytes("k", Pattern(50, 1));
  WriteBytes("r", Pattern(60, 2));
  ASSERT_EQ(RunPackAll({"-H", "-Kk", "-Rr", "-vV3", "-Ox", "-T"}).output, "");
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "kernel[Head]_x.bin", "package[KR]_x_debug.bin",
                                                      "r", "rootfs[Head]_x.bin"}));
  const DecodedPackage p = DecodePackageFile("package[KR]_x_debug.bin");
  EXPECT_EQ(p.items[0].data, ReadBytes("kernel[Head]_x.bin"));
  EXPECT_EQ(p.items[1].data, ReadBytes("rootfs[Head]_x.bin"));
  const ItemHead head =
      DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize>(p.items[1].data.data(), kItemHeadSize));
  EXPECT_EQ(head.headKind, 2u);
  EXPECT_EQ(GetText(head.headVersion), "V3");
  EXPECT_EQ(head.headDataLen, 60u);

  for (const auto& [mode, kind] : {std::pair{"-S", 3u}, std::pair{"-I", 4u}}) {
    ASSERT_EQ(RunPackAll({mode, "-H", "-Kk", "-Rr"}).output, "");
    const Bytes systemHead = ReadBytes("system[Head].bin");
    ASSERT_EQ(systemHead.size(), 84u + 110u);
    EXPECT_EQ(DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize>(systemHead.data(), kItemHeadSize))
                  .headKind,
              kind);
    EXPECT_EQ(DecodePackageFile("package[S].bin").items[0].data, systemHead);
  }
}

// A failed system image leaves no "system.bin", not even an earlier run's
// that would pass for this one's.
TEST_F(Assembly, SystemImageFailuresRemoveTheImage) {
  WriteText("k", "kernel");
  for (const auto& [args, line] : {std::pair{std::vector<std::string>{"-S", "-Kmissing", "-Rk"}, 323},
                                   std::pair{std::vector<std::string>{"-I", "-Kk"}, 333},
                                   std::pair{std::vector<std::string>{"-S", "-Kk", "-Rmissing"}, 333}}) {
    WriteText("system.bin", "old image");
    EXPECT_EQ(RunPackAll(args).output, ErrorLine(line));
    EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k"}));
  }
}

TEST_F(Assembly, HeadFailuresStopTheBuild) {
  WriteText("k", "kernel");
  WriteText("r", "rootfs");
  EXPECT_EQ(RunPackAll({"-H", "-Kmissing", "-Rr"}).output, ErrorLine(362));
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "r"}));
  EXPECT_EQ(RunPackAll({"-H", "-Kk", "-Rmissing"}).output, ErrorLine(381));
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "kernel[Head].bin", "r"}));
  fs::create_directory("system[Head].bin");
  EXPECT_EQ(RunPackAll({"-H", "-S", "-Kk", "-Rr"}).output, ErrorLine(402));
  EXPECT_TRUE(fs::exists("system.bin"));
  EXPECT_FALSE(fs::exists("package[S].bin"));
}

TEST_F(Assembly, BuildFailuresUseTheModesLine) {
  WriteText("k", "kernel");
  WriteText("r", "rootfs");
  WriteText("empty", "");
  EXPECT_EQ(RunPackAll({"-Kk", "-Rempty"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-Kk", "-Umissing"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-nnothing"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-S", "-Kk", "-Rr", "-Uempty"}).output, ErrorLine(612));
  // "system.bin" stays after a later failure; no package is written.
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"empty", "k", "r", "system.bin"}));
  WriteText("empty", "1");
  EXPECT_EQ(RunPackAll({"-Kk", "-Rempty"}).output, "");
}

TEST_F(Assembly, PackageNameCollidingWithAFolderFails) {
  WriteText("k", "kernel");
  fs::create_directory("package[K].bin");
  EXPECT_EQ(RunPackAll({"-Kk"}).output, ErrorLine(554));
  EXPECT_TRUE(fs::is_directory("package[K].bin"));
}

// Mended: more items than the 16-slot tables hold are refused.
TEST_F(Assembly, AtMostFifteenItemsBesideEfs) {
  WriteText("d", "d");
  WriteText("k", "k");
  std::vector<std::string> args(15, "-nd@/x");
  ASSERT_EQ(RunPackAll(args).output, "");
  EXPECT_EQ(DecodePackageFile("package[].bin").items.size(), 16u);
  args.push_back("-nd@/y");
  EXPECT_EQ(RunPackAll(args).output, ErrorLine(554));
  args.pop_back();
  args.push_back("-Kk");
  EXPECT_EQ(RunPackAll(args).output, ErrorLine(554));
  args.erase(args.begin());
  EXPECT_EQ(RunPackAll(args).output, "");
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"d", "k", "package[K].bin", "package[].bin"}));
}

// Mended: a device path that "file:" plus it cannot hold is refused, not cut.
TEST_F(Assembly, DevicePathLongerThan250IsRefused) {
  WriteText("d", "d");
  std::string fits = Repeat(250);
  fits[0] = '/';
  ASSERT_EQ(RunPackAll({"-nd@" + fits + "&"}).output, "");
  EXPECT_EQ(GetText(DecodePackageFile("package[].bin").items[0].record.destination), "file:" + fits);
  fs::remove("package[].bin");
  EXPECT_EQ(RunPackAll({"-nd@" + fits + "a"}).output, ErrorLine(554));
  EXPECT_FALSE(fs::exists("package[].bin"));
}

// Mended twice: a link under the package's name was written through (here
// to a device that refuses every write); now the package replaces the link.
TEST_F(Assembly, LinkToADeviceIsReplacedNotWrittenThrough) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteText("k", "kernel");
  fs::create_symlink("/dev/full", "package[K].bin");
  EXPECT_EQ(RunPackAll({"-Kk"}).output, "");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("package[K].bin")));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// Mended: item sizes that would wrap the 32-bit package size are refused
// before any memory is reserved.
TEST_F(Assembly, ItemsOf4GiBOrMoreAreRefused) {
  for (const auto& [name, size] :
       {std::pair{"big", std::uintmax_t{1} << 32}, std::pair{"half", std::uintmax_t{1} << 31}}) {
    std::ofstream(name).close();
    fs::resize_file(name, size);
  }
  EXPECT_EQ(RunPackAll({"-Kbig"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-Khalf", "-Rhalf"}).output, ErrorLine(554));
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"big", "half"}));
}

TEST_F(Assembly, ItemShorterOnReadingThanItsSizeFails) {
  // sysfs attributes report a size larger than what a read delivers.
  const char* attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
  if (!fs::exists(attribute) || fs::file_size(attribute) <= ReadText(attribute).size()) {
    GTEST_SKIP() << "no attribute file to shrink on reading";
  }
  EXPECT_EQ(RunPackAll({"-n" + std::string(attribute) + "@/x"}).output, ErrorLine(554));
  EXPECT_FALSE(fs::exists("package[].bin"));
}

// The head laid out from item lengths and CRCs alone is the head of the
// package whose data it describes, File CRC included.
TEST_F(Assembly, LayoutFromLengthsAndCrcs) {
  const Bytes data = Pattern(1000, 9);
  const Bytes expected = LayOutPackage({{"UNKNOWN", "file:/d", data, "", 0}, EfsItem()}, "P1|");
  PackageTables tables;
  tables.header.itemNum = 2;
  SetText(tables.externHeader.productList, "P1|");
  SetText(tables.records[0].itemName, "UNKNOWN");
  SetText(tables.records[0].destination, "file:/d");
  SetText(tables.records[1].itemName, "EFS");
  SetText(tables.records[1].destination, "file:/var/efs");
  const ItemSummary items[] = {{1000, Crc32Update(0, data.data(), data.size())},
                               {68, Crc32Update(0, kEfsRecord.data(), kEfsRecord.size())}};
  Bytes head(PackageHeadSize(2));
  ASSERT_EQ(LayoutPackage(tables, items, 2, head), 0);
  EXPECT_EQ(head, Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(head.size())));

  EXPECT_EQ(LayoutPackage(tables, items, 1, head), 1);
  EXPECT_EQ(LayoutPackage(tables, std::span(items).first(1), 2, head), 1);
  head.pop_back();
  EXPECT_EQ(LayoutPackage(tables, items, 2, head), 1);
}

}  // namespace
}  // namespace quarnet::test
