// Option parsing: letters, limits, "?" and the failure lines of the
// argument model, with what each leaves on disk.
#include <gtest/gtest.h>

#include "tests/basic/packall_support.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

const std::string kHelpText =
    "Usage:\r\n"
    " PackAll [Option]{ParaValue}\r\n"
    "Options:\r\n"
    " ?     show this help information\r\n"
    " -U    uboot bin file packed to the package\r\n"
    " -K    kernel bin file packed to the package\r\n"
    " -R    rootfs bin file packed to the package\r\n"
    " -Y    minisystem bin file packed to the package\r\n"
    " -v    package file version\r\n"
    " -c    special config file packed to the package\r\n"
    "Examples:\r\n"
    " PackAll -UPX6031V100R002C00B020_uboot.bin -KPX6031V100R002C00B020_kernel.bin "
    "-RPX6031V100R002C00B020_rootfs.bin -YPX6031V100R002C00B020_minisys.bin -vV100R002C00B020 "
    "-cqz_ctree.xml\r\n"
    "Output:\r\n"
    " After the command executed successfully the package file will be produced, such as "
    "package[UMKRCD].bin.\r\n"
    "Report bugs to Selvik ONT.\r\n";

class Options : public InTempDir {
 protected:
  void SetUp() override { WriteText("k", "kernel-bytes"); }
};

TEST_F(Options, QuestionMarkAnywherePrintsHelpAndBuildsNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {"?"},
      {"-Kk", "?"},
      {"-Kk", "-Rmissing", "?help"},
      {"?", "-v" + Repeat(64)},
      {"stray", "-", "-Kk", "?x", "-Kk"},
  };
  for (const auto& args : cases) {
    const PackAllRun run = RunPackAll(args);
    EXPECT_EQ(run.result, 0) << args.back();
    EXPECT_EQ(run.output, kHelpText) << args.back();
    EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"k"}) << args.back();
  }
}

TEST_F(Options, FailureBeforeQuestionMarkWins) {
  const PackAllRun run = RunPackAll({"-v" + Repeat(64), "?"});
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.output, ErrorLine(176));
}

TEST_F(Options, ValueOf256CharactersFailsWithEveryLetter) {
  for (const char letter : std::string("UKRYFVDvLOMJnSIHTANcxB?-")) {
    const std::string option = std::string("-") + letter + Repeat(256);
    const PackAllRun run = RunPackAll({"-Kk", option, "?"});
    EXPECT_EQ(run.result, 1) << letter;
    EXPECT_EQ(run.output, ErrorLine(143)) << letter;
  }
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"k"});
}

TEST_F(Options, TextLimits) {
  struct Case {
    char letter;
    std::size_t longest;
    int line;
  };
  for (const Case c : {Case{'v', 63, 176}, Case{'L', 127, 240}, Case{'O', 31, 219}, Case{'M', 31, 210}}) {
    const std::string accepted = std::string("-") + c.letter + Repeat(c.longest);
    EXPECT_EQ(RunPackAll({"-Kk", accepted}).result, 0) << c.letter;
    const PackAllRun refused = RunPackAll({"-Kk", accepted + "a"});
    EXPECT_EQ(refused.result, 1) << c.letter;
    EXPECT_EQ(refused.output, ErrorLine(c.line)) << c.letter;
  }
}

TEST_F(Options, LongestAcceptedTextsReachThePackage) {
  ASSERT_EQ(
      RunPackAll({"-Kk", "-v" + Repeat(63, 'v'), "-L" + Repeat(127, 'p'), "-O" + Repeat(31, 'o')}).result, 0);
  const DecodedPackage p = DecodePackageFile("package[K]_" + Repeat(31, 'o') + ".bin");
  EXPECT_EQ(GetText(p.items[0].record.itemVersion), Repeat(63, 'v'));
  EXPECT_EQ(GetText(p.externHeader.productList), Repeat(127, 'p'));
  EXPECT_EQ(p.externHeader.productList[127], '\0');
}

TEST_F(Options, PathsOf255CharactersAreStoredWhole) {
  // Each item file has a name of the longest accepted length; a path cut by
  // one character would name a missing file and fail the build.
  const std::string name = Repeat(254, 'f');
  std::vector<std::string> args;
  for (const char letter : std::string("UKRYF")) {
    WriteText(name + letter, std::string(1, letter));
    args.push_back(std::string("-") + letter + name + letter);
  }
  WriteText(name + "V", "V9\n");
  args.push_back("-V" + name + "V");
  const std::string local = Repeat(251, 'd');
  WriteText(local, "n");
  args.push_back("-n" + local + "@/x&");  // 255 characters
  ASSERT_EQ(RunPackAll(args).output, "");
  const DecodedPackage p = DecodePackageFile("package[UMKRF].bin");
  ASSERT_EQ(p.items.size(), 7u);
  EXPECT_EQ(GetText(p.items[2].record.itemVersion), "V9");
  EXPECT_EQ(GetText(p.items[5].record.destination), "file:/x");
  EXPECT_EQ(p.items[5].record.itemPolicy, 2u);
}

TEST_F(Options, UnknownLettersChangeNothing) {
  ASSERT_EQ(RunPackAll({"-Kk"}).result, 0);
  const auto plain = ReadBytes("package[K].bin");
  ASSERT_EQ(RunPackAll({"-cqz_ctree.xml", "-x", "-B7", "-Jjunk", "-M", "-Kk", "-", "word", "-Zz"}).output,
            "");
  EXPECT_EQ(ReadBytes("package[K].bin"), plain);
}

TEST_F(Options, LastOccurrenceWins) {
  WriteText("k2", "second kernel");
  ASSERT_EQ(RunPackAll({"-Kmissing", "-Kk2", "-vA", "-vB", "-A1", "-A2"}).output, "");
  const DecodedPackage p = DecodePackageFile("package[K].bin");
  EXPECT_EQ(p.items[0].data, BytesOf("second kernel"));
  EXPECT_EQ(GetText(p.items[0].record.itemVersion), "B");
  EXPECT_EQ(p.header.packTotal, 2);
}

TEST_F(Options, PackTotalAndNumKeepTheLow8Bits) {
  struct Case {
    std::string value;
    std::uint8_t stored;
  };
  for (const Case& c : {Case{"300", 44}, Case{"-1", 255}, Case{"  7x", 7}, Case{"abc", 0}, Case{"", 0},
                        Case{"+255", 255}, Case{"99999999999", 255}}) {
    ASSERT_EQ(RunPackAll({"-Kk", "-A" + c.value, "-N" + c.value}).result, 0) << c.value;
    const DecodedPackage p = DecodePackageFile("package[K].bin");
    EXPECT_EQ(p.header.packTotal, c.stored) << c.value;
    EXPECT_EQ(p.header.packNum, c.stored) << c.value;
  }
}

TEST_F(Options, DescriptorsBeyondSixteenAreDropped) {
  // Sixteen descriptors without "@" add nothing; a seventeenth with one is
  // dropped, so there is nothing to build.
  WriteText("d", "d");
  std::vector<std::string> args(16, "-nno-at-sign");
  args.push_back("-nd@/x");
  const PackAllRun run = RunPackAll(args);
  EXPECT_EQ(run.output, ErrorLine(554));
  args.erase(args.begin());
  EXPECT_EQ(RunPackAll(args).result, 0);
  EXPECT_EQ(DecodePackageFile("package[].bin").items.size(), 2u);
}

TEST_F(Options, SystemModeNeedsAKernel) {
  WriteText("r", "rootfs");
  for (const char* mode : {"-S", "-I"}) {
    const PackAllRun run = RunPackAll({mode, "-Rr"});
    EXPECT_EQ(run.output, ErrorLine(262)) << mode;
  }
  EXPECT_EQ(RunPackAll({"-S", "-Kk", "-K", "-Rr"}).output, ErrorLine(262));
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "r"}));
}

TEST_F(Options, NoItemsFailTheBuild) {
  EXPECT_EQ(RunPackAll({}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-v1", "-LA|", "-T"}).output, ErrorLine(554));
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"k"});
}

}  // namespace
}  // namespace quarnet::test
