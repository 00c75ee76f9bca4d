// Hostile Item Names and awkward paths through the Package flow that both
// front ends share: an original holding a name that is not a plain file name
// fails the job with nothing written anywhere; paths with blanks, Chinese
// characters and the full 255 bytes work.
#include <gtest/gtest.h>

#include <filesystem>

#include "repack/package_flow.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class HostileFlow : public InTempDir {
 protected:
  HostileFlow() { WriteText("cfg.xml", "<config/>"); }

  PackageOutcome Run(const std::string& original, const std::string& output,
                     const std::string& config = "cfg.xml") {
    PackageChoices c;
    c.originalPackage = original;
    c.configFile = config;
    c.newPackage = output;
    CapturedOutput out;
    ScriptedFrontEnd frontEnd;
    const PackageOutcome outcome = RunPackageFlow(c, frontEnd);
    lines_ = out.text();
    return outcome;
  }

  std::string lines_;
};

TEST_F(HostileFlow, ItemNamesThatAreNotPlainFailTheJobWithNothingWritten) {
  const bool rootHadX = fs::exists("/x.bin");
  for (const std::string name : {"../x", "/x", "a/b", "a\\b", "C:x", "..", ".", ""}) {
    auto items = OriginalItems();
    items.insert(items.begin() + 2, {name, "file:/x", BytesOf("evil"), "", 0});
    WriteBytes("orig.bin", LayOutPackage(items, kProducts));
    const auto before = Snapshot(dir());
    EXPECT_EQ(Run("orig.bin", "new.bin"), PackageOutcome::kFailed) << name;
    EXPECT_NE(lines_.find("Export item " + name + " error.\r\nError: No file un-packed.\r\n"), std::string::npos)
        << lines_;
    EXPECT_EQ(Snapshot(dir()), before) << name;  // no job folder left
  }
  EXPECT_EQ(fs::exists("/x.bin"), rootHadX);
}

TEST_F(HostileFlow, BlanksAndChineseInEveryPath) {
  fs::create_directory(Utf8Path("固件 目录"));
  WriteBytes(Utf8Path("固件 目录/原始 固件.bin"), LayOutPackage(OriginalItems(), kProducts));
  WriteText(Utf8Path("固件 目录/配置 文件.xml"), "<配置/>");
  ASSERT_EQ(Run("固件 目录/原始 固件.bin", "固件 目录/新 固件.bin", "固件 目录/配置 文件.xml"),
            PackageOutcome::kSucceeded)
      << lines_;
  const auto p = DecodeAndVerify(ReadBytes(Utf8Path("固件 目录/新 固件.bin")));
  ASSERT_EQ(p.items.size(), 8u);
  EXPECT_EQ(p.items[4].data, BytesOf("<配置/>"));
  EXPECT_EQ(p.items[6].data, BytesOf("<配置/>"));
}

// Paths have no length limit of their own: 257 bytes as given work, and a
// short relative path deep below the root works however long its absolute
// form is.
TEST_F(HostileFlow, LongPathsAsGiven) {
  const std::string original = std::string(251, 'o') + ".bin";
  const std::string output = std::string(251, 'n') + ".bin";
  WriteBytes(original, LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run(original, output), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(DecodeAndVerify(ReadBytes(output)).items.size(), 8u);
  WriteBytes(original, LayOutPackage(OriginalItems(), kProducts));
  EXPECT_EQ(Run("./" + original, output), PackageOutcome::kSucceeded);

  const fs::path deep = dir() / std::string(200, 'd') / std::string(200, 'e');
  fs::create_directories(deep);
  const ScopedChdir in(deep);
  WriteText("cfg.xml", "<config/>");
  WriteBytes("o.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("o.bin", "n.bin"), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(ListDir("."), (std::vector<std::string>{"cfg.xml", "n.bin", "o.bin"}));
}

}  // namespace
}  // namespace quarnet::test
