#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class RepackCli : public ::testing::Test {
 protected:
  RepackCli() {
    WriteText(dir_.path() / "cfg.xml", "<config/>");
    WriteText(dir_.path() / "pack.tar.gz", "pack");
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
  EXPECT_EQ(r.err, "Repack success!\n");
  const std::string orig = (dir_.path() / "orig.bin").string();
  const std::string out = (dir_.path() / "new.bin").string();
  EXPECT_EQ(r.out, "Start to un-pack full all package '" + orig + "' ...... Done.\r\n"
                   "Start make new package with Normal file.....Done.\r\n"
                   "Make new package '" + out + "' done.\r\n");
  EXPECT_EQ(DecodeAndVerify(ReadBytes(out)).items.size(), 8u);
  ExpectUserFilesUntouched();
}

TEST_F(RepackCli, ConfigPackWithProductsAndUpdateScript) {
  WriteText(dir_.path() / "script.tar.gz", "script");
  const auto r = Run({"--output=new.bin", "--config-pack", "pack.tar.gz", "--update-mode", "normal",
                      "--update-script", "script.tar.gz", "--products", "1A0|"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
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
  EXPECT_EQ(r.err, "Repack failed!\n");
  EXPECT_NE(r.out.find("Version Error. V1=V1 V2=V2\r\n"), std::string::npos);
  EXPECT_EQ(ReadText(dir_.path() / "new.bin"), "precious");
  ExpectUserFilesUntouched();
}

TEST_F(RepackCli, RefusalsAndUsageErrors) {
  struct Row {
    std::vector<std::string> args;
    std::string err;  // exact refusal text, or empty for a usage error
  };
  const std::vector<Row> rows = {
      {{"--output", "n.bin", "--config", "cfg.xml", "--products", ""}, "Please select the support products\n"},
      {{"--output", std::string(300, 'x'), "--config", "cfg.xml", "--products", "1A0|"},
       "File path length must be less than 255 byte(s)\n"},
      {{"--output", "", "--config", "cfg.xml", "--products", "1A0|"}, ""},
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
      EXPECT_EQ(r.err, row.err);
    }
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "n.bin"));
  EXPECT_EQ(Run({"--help"}).exitCode, 0);
  ExpectUserFilesUntouched();
}

}  // namespace
}  // namespace quarnet::test
