#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/package_check.h"
#include "tests/support/pack_builder.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// The percentage lines at the start of `err`, which rise in whole steps of
// 10 to 100, at least `least` of them; returns what follows them.
std::string AfterProgress(const std::string& err, int least) {
  std::size_t at = 0;
  int last = 0;
  int lines = 0;
  for (std::size_t end; (end = err.find('\n', at)) != std::string::npos && end > at && err[end - 1] == '%';
       at = end + 1, ++lines) {
    const int percent = std::stoi(err.substr(at, end - at));
    EXPECT_TRUE(percent > last && percent % 10 == 0) << err;
    last = percent;
  }
  EXPECT_EQ(last, 100) << err;
  EXPECT_GE(lines, least) << err;
  return err.substr(at);
}

class RepackCli : public ::testing::Test {
 protected:
  RepackCli() {
    WriteText(dir_.path() / "cfg.xml", "<config/>");
    WriteText(dir_.path() / "pack.tar.gz", SamplePack());
    WriteBytes(dir_.path() / "orig.bin", LayOutPackage(OriginalItems(), kProducts));
    for (const char* name : {"KERNEL.bin", "Updateflag", "pack_xml.log", "package[UKRF].bin"})
      WriteText(dir_.path() / name, "user's own");
  }

  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "repack");
    return RunProcess(BinPath("quarnet-cli"), args, dir_.path());
  }

  void ExpectUserFilesUntouched() {
    for (const char* name : {"KERNEL.bin", "Updateflag", "pack_xml.log", "package[UKRF].bin"})
      EXPECT_EQ(ReadText(dir_.path() / name), "user's own") << name;
  }

  TempDir dir_;
};

TEST_F(RepackCli, RepacksWithRelativePaths) {
  const auto r = Run({"--original", "orig.bin", "--output", "new.bin", "--config", "cfg.xml"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err,
            "Repack success!\nVerified: 8 items, 3008-byte header, all checksums; 4 image items identical to the "
            "original; 3 files added\n"
            "Items kept byte for byte:\n"
            "  UBOOT  flash:uboot  11 bytes\n"
            "  KERNEL  flash:kernel  96 bytes\n"
            "  ROOTFS  flash:rootfs  97 bytes\n"
            "  UPDATEFLAG  /mnt/jffs2/Updateflag  2 bytes\n"
            "  EFS  /var/efs  68 bytes\n"
            "Files added:\n"
            "  UNKNOWN  /mnt/jffs2/qz_ctree.xml  9 bytes\n"
            "  UNKNOWN  /var/default_script.sh  68 bytes\n"
            "  UNKNOWN  /mnt/jffs2/qz_default_ctree.xml  9 bytes\n");
  EXPECT_EQ(r.out, "Start to un-pack full all package 'orig.bin' ...... Done.\r\n"
                   "Start make new package with Normal file.....Done.\r\n"
                   "Make new package 'new.bin' done.\r\n");
  EXPECT_EQ(DecodeAndVerify(ReadBytes(dir_.path() / "new.bin")).items.size(), 8u);
  ExpectUserFilesUntouched();

  // An original EFS item of other bytes is replaced by the builder's; images
  // whose records gain their heads' version keep their bytes.
  auto items = OriginalItems();
  items.back().data.back() ^= 1;
  items[1].version = items[2].version = "";
  WriteBytes(dir_.path() / "orig.bin", LayOutPackage(items, kProducts));
  const auto efs = Run({"--original", "orig.bin", "--output", "new.bin", "--config", "cfg.xml", "--no-default"});
  ASSERT_EQ(efs.exitCode, 0) << efs.err;
  EXPECT_NE(efs.err.find("\nItems kept byte for byte:\n  UBOOT  flash:uboot  11 bytes\n"
                         "  KERNEL  flash:kernel  96 bytes\n  ROOTFS  flash:rootfs  97 bytes\n"
                         "  UPDATEFLAG  /mnt/jffs2/Updateflag  2 bytes\nFiles added:\n"),
            std::string::npos) << efs.err;
  EXPECT_NE(efs.err.find("  UNKNOWN  /var/default_script.sh  68 bytes\nItems replaced:\n  EFS  /var/efs  68 bytes\n"),
            std::string::npos) << efs.err;
}

TEST_F(RepackCli, ConfigPackWithProductsAndUpdateScript) {
  WriteText(dir_.path() / "script.tar.gz", SamplePack());
  const auto r = Run({"--output=new.bin", "--config-pack", "pack.tar.gz", "--update-mode", "normal",
                      "--update-script", "script.tar.gz", "--products", "1A0|"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  // Without an original nothing is said of one.
  EXPECT_EQ(r.err, "Repack success!\nVerified: 4 items, 1568-byte header, all checksums; 3 files added\n");
  const auto p = DecodeAndVerify(ReadBytes(dir_.path() / "new.bin"));
  EXPECT_EQ(p.productList, "1A0|");
  ASSERT_EQ(p.items.size(), 4u);
  EXPECT_EQ(p.items[1].data, BytesOf("1\n"));
  ExpectUserFilesUntouched();
}

TEST_F(RepackCli, FailedJobExitsOneAndKeepsOutput) {
  WriteBytes(dir_.path() / "orig.bin", LayOutPackage(OriginalItems("V1", "V2"), kProducts));
  WriteText(dir_.path() / "new.bin", "precious");
  const auto r = Run({"--original", "orig.bin", "--output", "new.bin", "--config", "cfg.xml"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Repack failed!\nreason: the kernel's item head says version \"V1\", the root file system's \"V2\"\n");
  EXPECT_NE(r.out.find("Version Error. V1=V1 V2=V2\r\n"), std::string::npos);
  EXPECT_EQ(ReadText(dir_.path() / "new.bin"), "precious");
  ExpectUserFilesUntouched();
}

// --progress counts the job's bytes on standard error, before the outcome
// and what was verified; the lines on standard output stay as they are.
TEST_F(RepackCli, ProgressRisesTo100) {
  auto items = OriginalItems();
  items[1].data = WithItemHead(kVersion, kHeadKernel, PatternBytes(4 << 20));
  items[2].data = WithItemHead(kVersion, kHeadRootfs, PatternBytes(4 << 20));
  WriteBytes(dir_.path() / "orig.bin", LayOutPackage(items, kProducts));
  std::vector<std::string> job = {"--original", "orig.bin", "--output", "new.bin", "--config", "cfg.xml"};
  const auto quiet = Run(job);
  fs::remove(dir_.path() / "new.bin");
  job.push_back("--progress");
  const auto r = Run(job);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(AfterProgress(r.err, 3).rfind("Repack success!\nVerified: ", 0), 0u) << r.err;
  EXPECT_EQ(r.out, quiet.out);
}

// The chosen files' checks: a failure is refused before the job, with its
// file, problem and place; --force builds it after warnings; a file not
// judged is noted.
TEST_F(RepackCli, ChecksOfTheChosenFiles) {
  WriteText(dir_.path() / "bad.xml", "<config>\n  <a></b>\n</config>\n");
  WriteText(dir_.path() / "secret.xml", "\x93\x1f\xa7");
  WriteText(dir_.path() / "evil.tar.gz", Gzip(TarArchive({{"../x", '0', "x"}})));
  const std::string bad = "configuration file bad.xml: line 2, column 8: the XML is not well-formed (mismatched tag)\n";
  const std::string refused = "quarnet-cli repack: refused before the job; --force builds all the same\n";
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // its start, when the job ran
  } rows[] = {
      {{"--config", "bad.xml"}, 2, "quarnet-cli repack: " + bad + refused},
      {{"--config", "bad.xml", "--force"}, 0, "warning: " + bad + "Repack success!\nVerified: "},
      {{"--config", "secret.xml"}, 0,
       "note: configuration file secret.xml: not checked, it does not look like XML (it may be encrypted)\n"
       "Repack success!\n"},
      {{"--config-pack", "pack.tar.gz", "--update-mode", "normal", "--update-script", "evil.tar.gz"}, 2,
       "quarnet-cli repack: update script evil.tar.gz: member 1 \"../x\" has \"..\" in its path\n" + refused},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"--original", "orig.bin", "--output", "new.bin"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const auto r = Run(args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
    EXPECT_EQ(r.exitCode == 2 ? r.err : r.err.substr(0, row.err.size()), row.err);
    EXPECT_EQ(fs::exists(dir_.path() / "new.bin"), row.exitCode == 0);
    EXPECT_EQ(r.out.empty(), row.exitCode == 2);
    fs::remove(dir_.path() / "new.bin");
  }
  ExpectUserFilesUntouched();
}

TEST_F(RepackCli, RefusalsAndUsageErrors) {
  struct Row {
    std::vector<std::string> args;
    std::string err;  // exact refusal text, or empty for a usage error
  };
  const std::vector<Row> rows = {
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", ""}, "Please select the support products\n"},
      // What a shell leaves of an unquoted list, and lists of no valid form.
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", "1A0"},
       "quarnet-cli repack: --products: \"1A0\" is not a product list\n"},
      {{"--output", "n.bin", "--config", "cfg.xml", "--products=1A0||"}, ""},
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", "1A0|1A0|"}, ""},
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", "1A0|\x1b[2J|"},
       "quarnet-cli repack: --products: \"1A0|\\x1B[2J|\" is not a product list\n"},
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", std::string(125, 'c') + "|1|"}, ""},
      {{"--output", "", "--config", "cfg.xml", "--products", "1A0|"}, "Please select input or output files.\n"},
      {{"--output", "n.bin", "--config", "cfg.xml"}, ""},
      {{"--original", "orig.bin", "--output", "n.bin", "--config", "cfg.xml", "--products", "1A0|"}, ""},
      {{"--output", "n.bin", "--config-pack", "pack.tar.gz", "--update-script", "s", "--products", "1A0|"}, ""},
      {{"--output", "n.bin", "--config", "cfg.xml", "--config-pack", "p", "--products", "1A0|"}, ""},
      {{"--output", "n.bin", "--config", "cfg.xml", "--bogus"}, ""},
      {{"--output"}, ""},
  };
  for (const Row& row : rows) {
    const auto r = Run(row.args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    if (!row.err.empty()) {
      EXPECT_EQ(r.err.substr(0, row.err.size()), row.err);
    }
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "n.bin"));
  const auto help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--products \"1A0|1B2|\" in cmd and PowerShell"), std::string::npos) << help.out;
  // 127 bytes, the most a product list holds.
  EXPECT_EQ(Run({"--output", "n.bin", "--config", "cfg.xml", "--products", std::string(124, 'c') + "|1|"}).exitCode, 0);
  fs::remove(dir_.path() / "n.bin");
  ExpectUserFilesUntouched();
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr long kMaxRssKiB = 64 << 10;

// Near the format's 4 GiB limit every step streams: packall builds the
// package, unpack exports it, repack rebuilds and verifies it, info checks
// the result, each in at most 64 MiB. A package past the limit is refused
// before anything is written.
TEST(ScaleCli, NearTheFourGiBLimit) {
  if (kSanitized) GTEST_SKIP() << "the memory bound is for builds without the sanitizers";
  const TempDir dir;
  const fs::path& d = dir.path();
  // The package, then the job's copies of the items and its new package.
  constexpr std::uint64_t kRoom = 13 * kGiB;
  std::error_code ec;
  if (fs::space(d, ec).available < kRoom || ec) GTEST_SKIP() << "needs 13 GiB free in " << d;
  constexpr std::uint64_t kKernel = kGiB, kRootfs = 3 * kGiB - (1 << 20);
  const auto expectSmall = [](const ProcessResult& r, const char* what) {
    EXPECT_EQ(r.exitCode, 0) << what << r.out << r.err;
    EXPECT_LE(r.peakRssKiB, kMaxRssKiB) << what;
  };
  expectSmall(BuildSparsePackage(d, kKernel, kRootfs), "packall");

  WriteSparseImage(d / "over.img", kVersion, kHeadRootfs, 3 * kGiB);
  const auto names = ListDir(d);
  EXPECT_EQ(RunProcess(BinPath("packall"), {"-Kk.img", "-Rover.img"}, d).exitCode, 1);
  EXPECT_EQ(ListDir(d), names);

  const std::string cli = BinPath("quarnet-cli");
  fs::create_directory(d / "u");
  const auto unpack = RunProcess(cli, {"unpack", kSparsePackageName, "-C", "u", "--progress"}, d);
  expectSmall(unpack, "unpack");
  EXPECT_EQ(AfterProgress(unpack.err, 5).rfind("quarnet-cli unpack: 4 items exported", 0), 0u) << unpack.err;
  EXPECT_EQ(fs::file_size(d / "u/KERNEL.bin"), kKernel);
  EXPECT_EQ(fs::file_size(d / "u/ROOTFS.bin"), kRootfs);
  fs::remove_all(d / "u");

  WriteText(d / "cfg.xml", "<config/>");
  const auto repack = RunProcess(
      cli, {"repack", "--original", kSparsePackageName, "--output", "new.bin", "--config", "cfg.xml", "--progress"}, d);
  expectSmall(repack, "repack");
  EXPECT_EQ(AfterProgress(repack.err, 5).rfind("Repack success!\nVerified: ", 0), 0u) << repack.err;
  expectSmall(RunProcess(cli, {"info", "new.bin"}, d), "info");
}

}  // namespace
}  // namespace quarnet::test
