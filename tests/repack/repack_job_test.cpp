#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "package/job_control.h"
#include "package/endian.h"
#include "package/job_log.h"
#include "package/reader.h"
#include "repack/repack.h"
#include "repack/verify.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class RepackJob : public InTempDir {
 protected:
  void SetUp() override {
    WriteText("cfg.xml", "<config/>");
    WriteDefaultScript("default_script.sh");
    AddItemDescriptor("cfg.xml", "/mnt/jffs2/qz_ctree.xml", 0, &request_.descriptors[0], request_.descriptorCount);
    AddItemDescriptor("default_script.sh", "/var/default_script.sh&", 0, &request_.descriptors[1],
                      request_.descriptorCount);
  }

  int Run(const char* original, const char* output) {
    ResetJobReport();
    CapturedOutput out;
    const int result = RunRepackJob(original, request_, output);
    lines_ = out.text();
    return result;
  }

  RepackRequest request_;
  std::string lines_;
};

TEST_F(RepackJob, RebuildsTheOriginalWithItsVersionAndProducts) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  WriteText("new.bin", "old contents");
  std::vector<std::uint64_t> done;
  std::vector<JobStage> stages;
  std::uint64_t lastTotal = 0;
  bool fullBeforeTheCheck = false;
  SetProgressSink([&](std::uint64_t d, std::uint64_t total) {
    done.push_back(d);
    if (stages.empty() || stages.back() != CurrentJobStage()) stages.push_back(CurrentJobStage());
    fullBeforeTheCheck = fullBeforeTheCheck || (d == total && CurrentJobStage() != JobStage::kChecking);
    lastTotal = total;
  });
  ASSERT_EQ(Run("orig.bin", "new.bin"), 0) << lines_ << LastJobReport().reason;
  SetProgressSink({});
  // Rises through the three stages to the end of the job's total, reached
  // only at the end.
  ASSERT_FALSE(done.empty());
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(done.back(), lastTotal);
  EXPECT_FALSE(fullBeforeTheCheck);
  EXPECT_EQ(stages, (std::vector<JobStage>{JobStage::kUnpacking, JobStage::kBuilding, JobStage::kChecking}));

  EXPECT_EQ(lines_,
            "Start to un-pack full all package 'orig.bin' ...... Done.\r\n"
            "Start make new package with Normal file.....Done.\r\n"
            "Warring: \r\n'new.bin' is existed, and overwrite it!\r\n"
            "Make new package 'new.bin' done.\r\n");
  const DecodedPackage p = DecodeAndVerify(ReadBytes("new.bin"));
  EXPECT_EQ(p.productList, kProducts);
  const std::vector<std::string> names = {"UBOOT", "KERNEL", "ROOTFS", "UPDATEFLAG", "UNKNOWN", "UNKNOWN", "EFS"};
  ASSERT_EQ(p.items.size(), names.size());
  const auto original = OriginalItems();
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(GetText(p.items[i].record.itemName), names[i]);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(p.items[i].data, original[i].data) << "item " << i;
  EXPECT_EQ(GetText(p.items[1].record.itemVersion), kVersion);
  EXPECT_EQ(GetText(p.items[2].record.itemVersion), kVersion);
  EXPECT_EQ(GetText(p.items[4].record.destination), "file:/mnt/jffs2/qz_ctree.xml");
  EXPECT_EQ(GetText(p.items[5].record.destination), "file:/var/default_script.sh");
  EXPECT_EQ(p.items[5].record.itemPolicy, 2u);
  EXPECT_EQ(p.items[4].data, BytesOf("<config/>"));
  EXPECT_EQ(GetText(request_.productList), kProducts);
  // Exported items are gone; the staging files of the caller are not ours to remove.
  for (const char* name : {"UBOOT.bin", "KERNEL.bin", "ROOTFS.bin", "UPDATEFLAG.bin", "package[UKRF].bin"})
    EXPECT_FALSE(fs::exists(name)) << name;
  EXPECT_TRUE(fs::exists(kJobLogName));
  EXPECT_EQ(LastJobReport().verified,
            "Verified: 7 items, 2648-byte header, all checksums; 4 image items identical to the original; 2 files "
            "added");
  EXPECT_EQ(LastJobReport().output, "new.bin");
}

TEST_F(RepackJob, WithoutOriginalBuildsFromDescriptorsAlone) {
  SetText(request_.productList, kProducts);
  ASSERT_EQ(Run(nullptr, nullptr), 0);
  EXPECT_EQ(lines_,
            "Start make new package with Normal file.....Done.\r\n"
            "Make new package 'NormalFile.bin' done.\r\n");
  const DecodedPackage p = DecodeAndVerify(ReadBytes("NormalFile.bin"));
  EXPECT_EQ(p.productList, kProducts);
  ASSERT_EQ(p.items.size(), 3u);
  EXPECT_NE(ReadText(kJobLogName).find("Make All package args:\r\narg0 : (null) \r\narg1 : -v \r\n"),
            std::string::npos);
}

TEST_F(RepackJob, DefaultOutputNameSitsNextToTheOriginal) {
  fs::create_directory("fw");
  WriteBytes("fw/a.b.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("fw/a.b.bin", nullptr), 0);
  EXPECT_TRUE(fs::exists("fw/a.b_new.bin"));
  EXPECT_TRUE(fs::exists("fw/a.b.bin"));
}

TEST_F(RepackJob, OutputMayNameTheOriginal) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("orig.bin", "orig.bin"), 0);
  EXPECT_EQ(DecodeAndVerify(ReadBytes("orig.bin")).items.size(), 7u);
}

// The job alone moves its result by a rename: an output on another file
// system fails the move, and the old output and the builder's output stay.
TEST_F(RepackJob, OutputOnAnotherFileSystem) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const fs::path target = "/dev/shm/" + dir().filename().string() + ".bin";
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  WriteText(target, "old");
  EXPECT_EQ(Run("orig.bin", Utf8(target).c_str()), -1);
  EXPECT_NE(lines_.find("Error: Rename new file error.\r\n"), std::string::npos) << lines_;
  EXPECT_EQ(LastJobReport().reason, "rename " + target.string() + ": Invalid cross-device link");
  EXPECT_EQ(ReadText(target), "old");
  EXPECT_TRUE(fs::exists("package[UKRF].bin"));
  fs::remove(target);
}

// An original whose item record disagrees with the item's bytes: a full
// package is refused before the build; a compact one, whose records may
// carry no CRC at all, is repacked from its bytes with a warning per item.
TEST_F(RepackJob, ItemCrcsThatDisagreeWithTheBytes) {
  Bytes full = LayOutPackage(OriginalItems(), kProducts);
  std::uint8_t* kernelCrc = full.data() + kItemTableOffset + kItemRecordSize + 4;
  char actual[16];
  std::snprintf(actual, sizeof actual, "0x%08x", LoadLE32(kernelCrc));
  StoreLE32(kernelCrc, 0x12345678);
  WriteBytes("orig.bin", full);
  WriteText("new.bin", "precious");
  EXPECT_EQ(Run("orig.bin", "new.bin"), -1);
  EXPECT_EQ(lines_, "Start to un-pack full all package 'orig.bin' ...... Done.\r\n");
  EXPECT_EQ(LastJobReport().reason, std::string("the original package is damaged: item 1 (KERNEL): its record says "
                                                "CRC 0x12345678, its bytes have CRC ") + actual);
  EXPECT_EQ(ReadText("new.bin"), "precious");

  Bytes compact = LayOutCompactPackage(OriginalItems());
  for (std::size_t i = 0; i < 4; ++i) StoreLE32(compact.data() + kCompactHeaderSize + kItemRecordSize * i + 4, 0);
  WriteBytes("orig.bin", compact);
  ASSERT_EQ(Run("orig.bin", "new.bin"), 0) << LastJobReport().reason;
  const auto warnings = LastJobReport().warnings;
  // The product list that a compact package lacks, then one per item.
  ASSERT_EQ(warnings.size(), 5u);
  EXPECT_EQ(warnings[0].kind, WarningKind::kNoProductList);
  EXPECT_EQ(warnings[2].kind, WarningKind::kOriginalCrc);
  EXPECT_EQ(warnings[2].text.rfind("the original package's item 1 (KERNEL): its record says CRC 0x00000000, its "
                                   "bytes have CRC 0x", 0), 0u) << warnings[2].text;
  EXPECT_EQ(DecodeAndVerify(ReadBytes("new.bin")).items[1].data, OriginalItems()[1].data);
}

// Failures: the line, the result, and the user's existing output untouched.
struct FailureCase {
  const char* name;
  std::vector<TestItem> items;
  const char* line;
};

class RepackJobFailure : public RepackJob, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RepackJobFailure, KeepsTheExistingOutput) {
  WriteBytes("orig.bin", LayOutPackage(GetParam().items, kProducts));
  WriteText("new.bin", "precious");
  EXPECT_EQ(Run("orig.bin", "new.bin"), -1);
  EXPECT_NE(lines_.find(GetParam().line), std::string::npos) << lines_;
  EXPECT_EQ(ReadText("new.bin"), "precious");
}

std::vector<TestItem> OutOfOrder() {
  auto items = OriginalItems();
  std::swap(items[0], items[1]);  // KERNEL, UBOOT, ROOTFS
  return items;
}

// `n` boot loaders of the same bytes, then EFS.
std::vector<TestItem> Repeated(int n) {
  std::vector<TestItem> items(static_cast<std::size_t>(n), OriginalItems()[0]);
  items.push_back(EfsItem());
  return items;
}

std::vector<TestItem> WithUnknown() {
  auto items = OriginalItems();
  items.insert(items.begin() + 3, {item::kUnknown, "file:/x", BytesOf("x"), "", 0});
  return items;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RepackJobFailure,
    ::testing::Values(
        FailureCase{"VersionsDiffer", OriginalItems("V1", "V2"),
                    "Start make new package with Normal file.....Version Error. V1=V1 V2=V2\r\n"
                    "Error: MakePackagesWithXML error.\r\n"},
        // Bytes of a crafted original reach the lines escaped.
        FailureCase{"VersionsWithControlBytes", OriginalItems("\x1b]0;t\a", "\x1b[2J\x9b"),
                    "Version Error. V1=\\x1B]0;t\\x07 V2=\\x1B[2J\\x9B\r\n"},
        FailureCase{"ItemsOutOfOrder", OutOfOrder(), "overwrite it!\r\nError: New package file not created.\r\n"},
        FailureCase{"UnknownItem", WithUnknown(),
                    "Unknow package name. [3] UNKNOWN \r\nError: MakePackagesWithXML error.\r\n"},
        FailureCase{"OnlyEfs", {EfsItem()}, "...... Error: No file un-packed.\r\n"},
        // With the job's two files, 13 items leave the builder's vector no
        // room; 12 fit it, and fail later on the one file they share.
        FailureCase{"SixteenItems", Repeated(15), ".....invalide file number!\r\n"},
        FailureCase{"ThirteenItems", Repeated(13), ".....invalide file number!\r\n"},
        FailureCase{"TwelveItems", Repeated(12), "overwrite it!\r\nError: New package file not created.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A missing original is refused before the log opens; a path's length is
// the system's to judge, not the job's.
TEST_F(RepackJob, RefusesMissingOriginalsBeforeOpeningTheLog) {
  for (const std::string& path : {std::string("missing.bin"), std::string(257, 'b')}) {
    EXPECT_EQ(Run(path.c_str(), "new.bin"), -1);
    EXPECT_EQ(lines_, "Error: Cannot open package file '" + path + "'\r\n");
    EXPECT_FALSE(fs::exists(kJobLogName));
  }
}

TEST_F(RepackJob, FailedRenameLeavesTheBuilderOutput) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  EXPECT_EQ(Run("orig.bin", "no/such/dir/new.bin"), -1);
  EXPECT_NE(lines_.find("Error: Rename new file error.\r\n"), std::string::npos);
  EXPECT_EQ(LastJobReport().reason, "rename no/such/dir/new.bin: No such file or directory");
  EXPECT_TRUE(fs::exists("package[UKRF].bin"));
  EXPECT_FALSE(fs::exists("KERNEL.bin"));  // the items were read in place
}

TEST_F(RepackJob, ArgumentVectorInTheLog) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("orig.bin", "new.bin"), 0);
  CloseJobLog();
  const std::string log = ReadText(kJobLogName);
  const std::string args =
      "Make All package args:\r\n"
      "arg0 : (null) \r\n"
      "arg1 : -UUBOOT.bin \r\n"
      "arg2 : -KKERNEL.bin \r\n"
      "arg3 : -RROOTFS.bin \r\n"
      "arg4 : -FUPDATEFLAG.bin \r\n"
      "arg5 : -vV100R002C00 \r\n"
      "arg6 : -ncfg.xml@/mnt/jffs2/qz_ctree.xml \r\n"
      "arg7 : -ndefault_script.sh@/var/default_script.sh& \r\n"
      "arg8 : -L1A0|2B0| \r\n";
  ASSERT_GE(log.size(), args.size());
  EXPECT_EQ(log.substr(log.size() - args.size()), args);
  EXPECT_EQ(log.rfind("File Header  : \r\n", 0), 0u);
}

// The read-back against one package per kind of mismatch: each is laid out
// from the good package with one thing changed and correct checksums, except
// where the checksum is the fault.
TEST_F(RepackJob, VerificationNamesEachMismatch) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("orig.bin", "good.bin"), 0) << lines_;
  RepackPlan plan;
  {
    ItemNameTable names{};
    ExportTable exported{};
    ProductListBuffer products{};
    InputFile original;
    const CapturedOutput quiet;
    ASSERT_TRUE(original.Open("orig.bin"));
    const int count = UnpackPackage(original, names, products, &exported);
    ASSERT_TRUE(PlanRepack(names, exported, count, kVersion, request_, {}, plan));
  }
  std::vector<TestItem> good;
  for (const DecodedItem& i : DecodePackageFile("good.bin").items)
    good.push_back({std::string(GetText(i.record.itemName)), std::string(GetText(i.record.destination)), i.data,
                    std::string(GetText(i.record.itemVersion)), i.record.itemPolicy});
  const auto verify = [&](const char* name) {
    InputFile file;
    EXPECT_TRUE(file.Open(name));
    return VerifyRepack(file, plan);
  };
  EXPECT_TRUE(verify("good.bin").ok);

  struct Row {
    const char* what;
    std::function<void(std::vector<TestItem>&)> change;
    const char* mismatch;
  };
  const std::vector<Row> rows = {
      {"checksum", {}, "File CRC: expected "},
      {"item missing", [](auto& items) { items.erase(items.begin() + 3); }, "6 items, expected 7"},
      {"order", [](auto& items) { std::swap(items[1], items[2]); }, "item 1 is ROOTFS, expected KERNEL"},
      {"destination", [](auto& items) { items[0].destination = "flash:kernel"; },
       "item 0 (UBOOT): Destination flash:kernel, expected flash:uboot"},
      {"version", [](auto& items) { items[2].version = "V9"; },
       "item 2 (ROOTFS): Item Version V9, expected V100R002C00"},
      {"policy", [](auto& items) { items[5].policy = 0; }, "item 5 (UNKNOWN): Item Policy 0, expected 2"},
      {"image bytes", [](auto& items) { items[0].data = BytesOf("boot-loadeR"); },
       "item 0 (UBOOT): 11 bytes with CRC 0x"},
      {"added file", [](auto& items) { items[4].data = BytesOf("<config!>"); }, ", but cfg.xml holds 9 bytes"},
      {"EFS last", [](auto& items) { items.pop_back(); }, "6 items, expected 7"},
      // The last record is compared like every other.
      {"EFS bytes", [](auto& items) { items.back().data[67] ^= 1; }, "item 6 (EFS): 68 bytes with CRC 0x"},
      {"EFS destination", [](auto& items) { items.back().destination = "file:/var/efs2"; },
       "item 6 (EFS): Destination file:/var/efs2, expected file:/var/efs"},
  };
  for (const Row& row : rows) {
    auto items = good;
    if (row.change) row.change(items);
    Bytes bytes = LayOutPackage(items, kProducts);
    if (!row.change) bytes[bytes.size() - 1] ^= 1;
    WriteBytes("bad.bin", bytes);
    const Verdict v = verify("bad.bin");
    EXPECT_FALSE(v.ok) << row.what;
    EXPECT_NE(v.text.find(row.mismatch), std::string::npos) << row.what << ": " << v.text;
  }
  WriteBytes("bad.bin", LayOutPackage(good, "1A0|"));
  EXPECT_EQ(verify("bad.bin").text, "product list 1A0|, expected 1A0|2B0|");
}

}  // namespace
}  // namespace quarnet::test
