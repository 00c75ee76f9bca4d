#include "repack/package_flow.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <thread>

#include "package/job.h"
#include "repack/repack.h"
#include "tests/support/package_check.h"
#include "tests/support/pack_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class PackageFlow : public InTempDir {
 protected:
  PackageFlow() {
    WriteText("cfg.xml", "<config/>");
    WriteText("pack.tar.gz", SamplePack());
    WriteText("script.tar.gz", SamplePack());
    // Files named like the job's transient files must survive.
    for (const char* name : {"KERNEL.bin", "Updateflag", "pack_xml.log", "default_script.sh", "package[].bin"})
      WriteText(name, "user's own");
  }

  PackageOutcome Run(const PackageChoices& c) {
    CapturedOutput out;
    const auto outcome = RunPackageFlow(c, front_);
    lines_ = out.text();
    return outcome;
  }

  void ExpectUserFilesUntouched() {
    for (const char* name : {"KERNEL.bin", "Updateflag", "pack_xml.log", "default_script.sh", "package[].bin"})
      EXPECT_EQ(ReadText(name), "user's own") << name;
  }

  static PackageChoices ConfigFile() {
    PackageChoices c;
    c.configFile = "cfg.xml";
    c.newPackage = "out.bin";
    return c;
  }

  static PackageChoices ConfigPack() {
    PackageChoices c;
    c.fileType = PackageFileType::kConfigPack;
    c.configPack = "pack.tar.gz";
    c.newPackage = "out.bin";
    return c;
  }

  std::vector<std::string> Destinations() {
    std::vector<std::string> out;
    for (const auto& i : DecodeAndVerify(ReadBytes("out.bin")).items) out.emplace_back(GetText(i.record.destination));
    return out;
  }

  ScriptedFrontEnd front_;
  std::string lines_;
};

TEST_F(PackageFlow, ConfigFileModeWithDefault) {
  ASSERT_EQ(Run(ConfigFile()), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(front_.messages, (std::vector<std::pair<int, int>>{{kTextRepackSuccess, 0}}));
  EXPECT_EQ(Destinations(), (std::vector<std::string>{"file:/mnt/jffs2/qz_ctree.xml", "file:/var/default_script.sh",
                                                      "file:/mnt/jffs2/qz_default_ctree.xml", "file:/var/efs"}));
  const auto p = DecodeAndVerify(ReadBytes("out.bin"));
  EXPECT_EQ(p.productList, kProducts);
  ASSERT_EQ(p.items.size(), 4u);
  EXPECT_EQ(p.items[1].data, BytesOf("# !/bin/sh\nrm -f /mnt/jffs2/qz_bms_prev.xml\nrm -f /mnt/jffs2/oldcrc\n"));
  EXPECT_EQ(lines_, "Start make new package with Normal file.....Done.\r\nMake new package 'out.bin' done.\r\n");
  ExpectUserFilesUntouched();
}

TEST_F(PackageFlow, ConfigFileModeWithoutDefault) {
  auto c = ConfigFile();
  c.asDefault = false;
  ASSERT_EQ(Run(c), PackageOutcome::kSucceeded);
  EXPECT_EQ(Destinations().size(), 3u);
}

TEST_F(PackageFlow, ConfigPackModeUpdateFlagAndScript) {
  struct Row {
    int mode;
    std::string script;
    std::string flag;
    std::size_t items;
  };
  for (const Row& row : {Row{kFactoryMode, "", "0\n", 3}, Row{kNormalUpdateMode, "script.tar.gz", "1\n", 4}}) {
    auto c = ConfigPack();
    c.updateScript = row.script;
    front_.updateMode = row.mode;
    ASSERT_EQ(Run(c), PackageOutcome::kSucceeded) << lines_;
    const auto p = DecodeAndVerify(ReadBytes("out.bin"));
    ASSERT_EQ(p.items.size(), row.items);
    EXPECT_EQ(GetText(p.items[0].record.destination), "file:/mnt/jffs2/customize_xml.tar.gz");
    EXPECT_EQ(GetText(p.items[1].record.destination), "file:/mnt/jffs2/Updateflag");
    EXPECT_EQ(p.items[1].data, BytesOf(row.flag));
    if (!row.script.empty()) {
      EXPECT_EQ(GetText(p.items[2].record.destination), "file:/mnt/jffs2/customize_upgrade.tar.gz");
    }
  }
  ExpectUserFilesUntouched();
}

TEST_F(PackageFlow, WithOriginalNoProductDialog) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), ""));
  auto c = ConfigFile();
  c.originalPackage = "orig.bin";
  ASSERT_EQ(Run(c), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(front_.selections, 0);
  const auto p = DecodeAndVerify(ReadBytes("out.bin"));
  EXPECT_EQ(p.productList, "");  // the original's empty list wins
  EXPECT_EQ(p.items.size(), 8u);
  ExpectUserFilesUntouched();
}

TEST_F(PackageFlow, FailedJobKeepsExistingOutputAndCleansUp) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems("V1", "V2"), ""));
  WriteText("out.bin", "precious");
  auto c = ConfigFile();
  c.originalPackage = "orig.bin";
  EXPECT_EQ(Run(c), PackageOutcome::kFailed);
  EXPECT_EQ(front_.messages, (std::vector<std::pair<int, int>>{{kTextRepackFailed, 0}}));
  EXPECT_EQ(ReadText("out.bin"), "precious");
  ExpectUserFilesUntouched();
  EXPECT_EQ(ListDir(dir()).size(), 10u);  // nothing new in the caller's folder
}

// Refusals come before any file is written and before the job.
TEST_F(PackageFlow, Refusals) {
  struct Row {
    const char* what;
    PackageChoices choices;
    PackageOutcome outcome;
    std::vector<std::pair<int, int>> messages;
  };
  auto with = [](PackageChoices c, auto change) {
    change(c);
    return c;
  };
  const std::vector<Row> rows = {
      {"config file missing", with(ConfigFile(), [](auto& c) { c.configFile.clear(); }), PackageOutcome::kRefused,
       {{kTextSelectFiles, 0}}},
      {"output missing", with(ConfigPack(), [](auto& c) { c.newPackage.clear(); }), PackageOutcome::kRefused,
       {{kTextSelectFiles, 0}}},
      {"pack missing", with(ConfigPack(), [](auto& c) { c.configPack.clear(); }), PackageOutcome::kRefused,
       {{kTextSelectFiles, 0}}},
      {"empty product list", with(ConfigFile(), [](auto&) {}), PackageOutcome::kRefused,
       {{kTextSelectProducts, 0}}},
  };
  for (const Row& row : rows) {
    front_ = ScriptedFrontEnd();
    if (std::string(row.what) == "empty product list") front_.products.clear();
    EXPECT_EQ(Run(row.choices), row.outcome) << row.what;
    EXPECT_EQ(front_.messages, row.messages) << row.what;
    EXPECT_EQ(lines_, "") << row.what;
  }
  front_ = ScriptedFrontEnd();
  front_.cancel = true;
  EXPECT_EQ(Run(ConfigFile()), PackageOutcome::kCancelled);
  EXPECT_TRUE(front_.messages.empty());
  EXPECT_FALSE(fs::exists("out.bin"));
  ExpectUserFilesUntouched();
}

// The chosen files the job would take are checked, each in its role, before
// anything is asked or done: a failed check refuses the job before the
// product selection, and a stop during the checks stops the flow as a
// stopped job, asking nothing more.
TEST_F(PackageFlow, ChecksComeFirst) {
  WriteText("evil.tar.gz", Gzip(TarArchive({{"/etc/x", '0', "x"}})));
  auto c = ConfigPack();
  c.configPack = c.updateScript = "evil.tar.gz";
  EXPECT_EQ(Run(c), PackageOutcome::kRefused);
  ASSERT_EQ(front_.findings.size(), 2u);
  EXPECT_EQ(std::pair(front_.findings[0].role, front_.findings[1].role),
            std::pair(FileRole::kConfigPack, FileRole::kUpdateScript));
  EXPECT_EQ(front_.selections, 0);
  EXPECT_FALSE(fs::exists("out.bin"));
  front_ = ScriptedFrontEnd();
  RequestCancel();
  EXPECT_EQ(Run(ConfigFile()), PackageOutcome::kFailed);
  ResetCancel();
  EXPECT_TRUE(front_.findings.empty() && front_.selections == 0);
  EXPECT_EQ(front_.messages, (std::vector<std::pair<int, int>>{{kTextRepackFailed, 0}}));
  EXPECT_EQ(LastJobReport().kind, FailureKind::kCancelled);
  ExpectUserFilesUntouched();
}

// Paths have no length limit of their own: 200 Chinese characters (600
// bytes) in folders, as original, chosen files and output. Control bytes in
// a path reach the job's lines escaped.
TEST_F(PackageFlow, LongAndStrangePathsWork) {
  std::string name;
  for (int k = 0; k < 66; ++k) name += "件";
  const std::string folder = "固件/" + name + "/" + name + "/" + name;
  fs::create_directories(Utf8Path(folder));
#ifdef _WIN32
  const std::string original = "原始 包.bin", shown = original;  // Windows names hold no control bytes
#else
  const std::string original = "原始 包\x1b]0;t\a.bin", shown = "原始 包\\x1B]0;t\\x07.bin";
#endif
  const std::string at = folder + "/" + original;
  WriteBytes(Utf8Path(at), LayOutPackage(OriginalItems(), kProducts));
  fs::copy_file("cfg.xml", Utf8Path(folder + "/配置.xml"));
  fs::copy_file("pack.tar.gz", Utf8Path(folder + "/配置包.tar.gz"));
  auto c = ConfigFile();
  c.originalPackage = at;
  c.configFile = folder + "/配置.xml";
  c.newPackage = folder + "/新包.bin";
  ASSERT_EQ(Run(c), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(DecodeAndVerify(ReadBytes(Utf8Path(c.newPackage))).items.size(), 8u);
  EXPECT_NE(lines_.find("/" + shown + "' ......"), std::string::npos) << lines_;
  auto p = ConfigPack();
  p.configPack = folder + "/配置包.tar.gz";
  p.newPackage = c.newPackage;
  EXPECT_EQ(Run(p), PackageOutcome::kSucceeded) << lines_;
}

// Two repacks at once, each a job of its own on its own thread: each gives
// the lines and package it gives alone, and a stop of one leaves the other
// alone.
TEST(TwoJobs, RunSideBySide) {
  struct Outcome {
    PackageOutcome outcome;
    std::string lines;
    Bytes package;
  };
  std::vector<TestItem> items = OriginalItems();
  items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(std::size_t{4} << 20, 0x52));
  const std::array<TempDir, 2> dirs;
  for (const TempDir& d : dirs) {
    WriteBytes(d.path() / "orig.bin", LayOutPackage(items, kProducts));
    WriteText(d.path() / "cfg.xml", "<config/>");
  }
  const auto repack = [&](std::size_t i, bool stop) {
    Job job;
    const ScopedJob current(job);
    Outcome o;
    job.SetOutputSink([&](std::string_view text) { o.lines += text; });
    if (stop) job.SetProgressSink([&](std::uint64_t, std::uint64_t) { job.RequestCancel(); });
    ScriptedFrontEnd front;
    PackageChoices c;
    c.originalPackage = Utf8(dirs[i].path() / "orig.bin");
    c.configFile = Utf8(dirs[i].path() / "cfg.xml");
    c.newPackage = Utf8(dirs[i].path() / "out.bin");
    o.outcome = RunPackageFlow(c, front);
    if (fs::exists(dirs[i].path() / "out.bin")) o.package = ReadBytes(dirs[i].path() / "out.bin");
    fs::remove(dirs[i].path() / "out.bin");
    return o;
  };
  const Outcome alone = repack(0, false);
  ASSERT_EQ(alone.outcome, PackageOutcome::kSucceeded) << alone.lines;
  for (const bool stopFirst : {false, true}) {
    std::array<Outcome, 2> both;
    std::thread first([&] { both[0] = repack(0, stopFirst); });
    both[1] = repack(1, false);
    first.join();
    for (std::size_t i = stopFirst ? 1 : 0; i < 2; ++i) {
      EXPECT_EQ(both[i].outcome, PackageOutcome::kSucceeded) << i;
      EXPECT_EQ(both[i].package, alone.package) << i;
      std::string lines = both[i].lines;
      const std::string path = Utf8(dirs[i].path()), pathAlone = Utf8(dirs[0].path());
      for (std::size_t at = 0; (at = lines.find(path, at)) != std::string::npos; at += pathAlone.size())
        lines.replace(at, path.size(), pathAlone);
      EXPECT_EQ(lines, alone.lines) << i;
    }
    EXPECT_EQ(both[0].outcome, stopFirst ? PackageOutcome::kFailed : PackageOutcome::kSucceeded);
  }
}

TEST(RepackRequestParts, DescriptorsAndStagingFiles) {
  RepackRequest r;
  EXPECT_EQ(AddItemDescriptor("/home/u/cfg.xml", "/mnt/jffs2/qz_ctree.xml", 0, &r.descriptors[0], r.descriptorCount), 0);
  EXPECT_EQ(AddItemDescriptor("a", "/b", 2, &r.descriptors[1], r.descriptorCount), 0);
  EXPECT_EQ(AddItemDescriptor(nullptr, "/b", 0, &r.descriptors[2], r.descriptorCount), -1);
  EXPECT_EQ(AddItemDescriptor("a", "/b", 0, nullptr, r.descriptorCount), -1);
  EXPECT_EQ(r.descriptorCount, 2u);
  EXPECT_EQ(GetText(r.descriptors[0]), "-n/home/u/cfg.xml@/mnt/jffs2/qz_ctree.xml");
  EXPECT_EQ(GetText(r.descriptors[1]), "-na@/b&");

  TempDir dir;
  ScopedChdir in(dir.path());
  WriteDefaultScript("s.sh");
  EXPECT_EQ(ReadText("s.sh").size(), 68u);
  for (const auto& [mode, bytes] : std::vector<std::pair<int, std::string>>{{0, "0\n"}, {1, "1\n"}, {7, "\n"}}) {
    WriteUpdateFlag(mode);
    EXPECT_EQ(ReadText("Updateflag"), bytes);
  }
}

}  // namespace
}  // namespace quarnet::test
