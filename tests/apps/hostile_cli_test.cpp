// Hostile Item Names and awkward paths through quarnet-cli: names that are
// not plain file names are refused with nothing written anywhere, names that
// merely contain dots are exported; paths with blanks, Chinese characters
// and of any length the system takes work in repack, unpack and info.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include "tests/support/faults.h"
#endif

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kHostileNames = {"../x", "/x", "a/b", "a\\b", "C:x", "..", ".", ""};

class HostileCli : public ::testing::Test {
 protected:
  HostileCli() {
    WriteText(path("cfg.xml"), "<config/>");
    fs::create_directories(path("tmp"));
  }
  fs::path path(const std::string& name) const { return dir_.path() / Utf8Path(name); }

#ifdef _WIN32
  ProcessResult Cli(const std::vector<std::string>& args) { return RunProcess(BinPath("quarnet-cli"), args, dir_.path()); }
#else
  // With TMPDIR at `tmp` (default "tmp"), which the jobs must not need.
  ProcessResult Cli(const std::vector<std::string>& args, const std::string& tmp = "") {
    const std::string tmpDir = tmp.empty() ? path("tmp").string() : tmp;
    return RunProcess(BinPath("quarnet-cli"), args, dir_.path(), [&] { ::setenv("TMPDIR", tmpDir.c_str(), 1); });
  }
#endif

  TempDir dir_;
};

TEST_F(HostileCli, NamesThatAreNotPlainAreRefusedByUnpackAndRepack) {
  const bool rootHadX = fs::exists("/x.bin");
  fs::create_directories(path("w/sub"));
  for (const std::string& name : kHostileNames) {
    WriteBytes(path("p.bin"), LayOutPackage({{name, "file:/x", BytesOf("evil"), "", 0}, EfsItem()}));
    auto items = OriginalItems();
    items.insert(items.begin() + 1, {name, "file:/x", BytesOf("evil"), "", 0});
    WriteBytes(path("orig.bin"), LayOutPackage(items, kProducts));
    const auto before = Snapshot(dir_.path());

    auto r = Cli({"unpack", "p.bin", "-C", "w/sub"});
    EXPECT_EQ(r.exitCode, 1) << name;
    EXPECT_EQ(r.out, "Export item " + name + " error.\r\n");
    auto after = Snapshot(dir_.path());
    EXPECT_EQ(after.erase("w/sub/pack_xml.log"), 1u) << name;
    EXPECT_EQ(after, before) << name;
    fs::remove(path("w/sub/pack_xml.log"));

    r = Cli({"repack", "--original", "orig.bin", "--output", "new.bin", "--config", "cfg.xml"});
    EXPECT_EQ(r.exitCode, 1) << name;
    EXPECT_NE(r.out.find("Export item " + name + " error.\r\nError: No file un-packed.\r\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(Snapshot(dir_.path()), before) << name;  // nothing in "tmp" either
  }
  EXPECT_EQ(fs::exists("/x.bin"), rootHadX);
}

TEST_F(HostileCli, NamesWithDotsAreExported) {
  WriteBytes(path("p.bin"), LayOutPackage({{"x..y", "file:/x", BytesOf("1"), "", 0},
                                           {"..x", "file:/x", BytesOf("2"), "", 0}, EfsItem()}));
  const auto r = Cli({"unpack", "p.bin"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadText(path("x..y.bin")), "1");
  EXPECT_EQ(ReadText(path("..x.bin")), "2");
}

TEST_F(HostileCli, BlanksAndChineseInEveryPath) {
  const std::string folder = "固件 目录";
  const std::string original = folder + "/原始 固件.bin";
  const std::string config = folder + "/配置 文件.xml";
  const std::string output = folder + "/新 固件.bin";
  fs::create_directories(path(folder));
  fs::create_directories(path("解包 目录"));
  WriteBytes(path(original), LayOutPackage(OriginalItems(), kProducts));
  WriteText(path(config), "<配置/>");

  auto r = Cli({"repack", "--original", original, "--output", output, "--config", config});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Make new package '" + output + "' done.\r\n"), std::string::npos) << r.out;
  const auto p = DecodeAndVerify(ReadBytes(path(output)));
  ASSERT_EQ(p.items.size(), 8u);
  EXPECT_EQ(p.items[4].data, BytesOf("<配置/>"));

  r = Cli({"unpack", original, "-C", "解包 目录"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadBytes(path("解包 目录/KERNEL.bin")), OriginalItems()[1].data);

  r = Cli({"info", output});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  r = Cli({"info", output, "--json"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\"file\": \"" + output + "\""), std::string::npos) << r.out;
}

// A path of 255 bytes, as given, is the longest that the repack request takes.
TEST_F(HostileCli, LongPaths) {
  const std::string original = std::string(251, 'o') + ".bin";
  const std::string output = std::string(251, 'n') + ".bin";
  WriteBytes(path(original), LayOutPackage(OriginalItems(), kProducts));

  auto r = Cli({"repack", "--original", original, "--output", output, "--config", "cfg.xml"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(DecodeAndVerify(ReadBytes(path(output))).items.size(), 8u);
  // 200 Chinese characters, 600 bytes, as original, configuration file and
  // output.
  std::string name;
  for (int k = 0; k < 66; ++k) name += "件";
  const std::string folder = "固件/" + name + "/" + name + "/" + name;
  fs::create_directories(path(folder));
  fs::copy_file(path(original), path(folder + "/原始.bin"));
  fs::copy_file(path("cfg.xml"), path(folder + "/配置.xml"));
  r = Cli({"repack", "--original", folder + "/原始.bin", "--output", folder + "/新.bin", "--config", folder + "/配置.xml"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(DecodeAndVerify(ReadBytes(path(folder + "/新.bin"))).items.size(), 8u);

  // unpack and info take any path the system takes: a 255-byte file name.
  const std::string longName = std::string(251, 'L') + ".bin";
  WriteBytes(path(longName), LayOutPackage(OriginalItems(), kProducts));
  EXPECT_EQ(Cli({"info", longName}).exitCode, 0);
  EXPECT_EQ(Cli({"unpack", longName, "-C", "tmp"}).exitCode, 0);
  EXPECT_TRUE(fs::exists(path("tmp/ROOTFS.bin")));
}

#ifndef _WIN32
// A 255-byte output on another file system than the job's folder: the copy
// goes through a temporary name beside the output, which must fit as well.
TEST_F(HostileCli, LongOutputNameOnAnotherFileSystem) {
  const ShmDir jobTmp;
  if (jobTmp.path().empty()) GTEST_SKIP() << "no /dev/shm";
  const std::string prefix = "/tmp/" + dir_.path().filename().string() + "-";
  const std::string output = prefix + std::string(255 - prefix.size() - 4, 'n') + ".bin";
  WriteBytes(path("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
  const auto r = Cli({"repack", "--original", "orig.bin", "--output", output, "--config", "cfg.xml"}, jobTmp.path());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(DecodeAndVerify(ReadBytes(output)).items.size(), 8u);
  fs::remove(output);
}
#endif

}  // namespace
}  // namespace quarnet::test
