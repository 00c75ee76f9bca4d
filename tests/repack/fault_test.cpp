// Faults around the repack job and the Package flow: folders that refuse the
// output, file systems that fill up, an item file that changes under the
// builder, truncated originals, awkward output paths and leftovers in the
// working directory. Each case checks the result and what survives: the
// user's output and original, no partial package under a finished-looking
// name, nothing changed in the caller's folder, no working folder left.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "package/job_control.h"
#include "package/job_log.h"
#include "repack/package_flow.h"
#include "repack/repack.h"
#include "platform/job_folder.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "tests/support/faults.h"
#endif

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr char kPrecious[] = "precious";
constexpr char kRenameError[] = "Error: Rename new file error.\r\n";
constexpr char kNothingUnpacked[] = "Error: No file un-packed.\r\n";
constexpr char kBuildFailed[] = "[..\\basic\\PackAll]<554>@\r\nPackAll Error!\r\n";

// An original whose kernel and root file system images are 40 000 bytes.
constexpr std::size_t kImageSize = 40000;
std::vector<TestItem> BigItems(const std::string& rootfsVersion = kVersion) {
  auto items = OriginalItems(kVersion, rootfsVersion);
  items[1].data = WithItemHead(kVersion, kHeadKernel, Bytes(kImageSize, 0x4B));
  items[2].data = WithItemHead(rootfsVersion, kHeadRootfs, Bytes(kImageSize, 0x52));
  return items;
}

// The caller's folder holds the original, the configuration file, an
// existing output and "tmp", the temporary folder, which the job must not
// need.
class FlowFaults : public InTempDir {
 protected:
  FlowFaults() {
    WriteBytes("orig.bin", LayOutPackage(BigItems(), kProducts));
    WriteText("cfg.xml", "<config/>");
    WriteText("out.bin", kPrecious);
    fs::create_directory("tmp");
    // Room for a job that has given up root's privileges.
    fs::permissions(dir(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                               fs::perms::group_read | fs::perms::others_read);
    fs::permissions("tmp", fs::perms::all);
  }

  PackageChoices Choices(const std::string& output) const {
    PackageChoices c;
    c.originalPackage = "orig.bin";
    c.configFile = "cfg.xml";
    c.newPackage = output;
    return c;
  }

#ifndef _WIN32
  // The flow in a child: TMPDIR points at "tmp", `prepare` sets up the
  // fault (false: it cannot be set up here), `report` may print what only
  // the child can see. The exit status is the outcome.
  ChildResult RunFlowInChild(const PackageChoices& c, const std::function<bool()>& prepare,
                             const std::function<void()>& report = [] {}) {
    const std::string tmp = (dir() / "tmp").string();
    return RunInChild([&] {
      ::setenv("TMPDIR", tmp.c_str(), 1);
      if (!prepare()) return kFaultUnavailable;
      ScriptedFrontEnd frontEnd;
      frontEnd.printMessages = true;
      const int outcome = static_cast<int>(RunPackageFlow(c, frontEnd));
      report();
      return outcome;
    });
  }
#endif

  PackageOutcome RunFlow(const PackageChoices& c) {
    CapturedOutput out;
    ScriptedFrontEnd frontEnd;
    frontEnd.printMessages = true;
    const PackageOutcome outcome = RunPackageFlow(c, frontEnd);
    lines_ = out.text();
    return outcome;
  }

  std::string lines_;
};

#ifndef _WIN32
std::string Message(int stringId) { return "<message " + std::to_string(stringId) + ">\n"; }

struct UnwritableCase {
  const char* name;
  const char* output;  // relative to the caller's folder; "SHM" stands for another file system
  bool readOnly;       // the output's folder is made read-only and the job runs as nobody
  const char* reason;  // the end of the system's reason
};

class UnwritableOutput : public FlowFaults, public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritableOutput, FailsAndChangesNothing) {
  const UnwritableCase& row = GetParam();
  ShmDir shm;
  std::string output = row.output;
  if (output.rfind("SHM", 0) == 0) {
    if (shm.path().empty()) GTEST_SKIP() << "no /dev/shm";
    output = shm.path().string() + output.substr(3);
  }
  const fs::path folder = fs::path(output).parent_path();
  if (row.readOnly) {
    fs::create_directories(folder);
    WriteText(fs::path(output), kPrecious);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  }
  const auto before = Snapshot(dir());
  const auto shmBefore = shm.path().empty() ? decltype(before){} : Snapshot(shm.path());

  const ChildResult r = RunFlowInChild(
      Choices(output), [&] { return !row.readOnly || DropRootPrivileges({dir(), shm.path()}); },
      [] { Print("reason: %s\n", LastJobReport().reason.c_str()); });
  if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << kCannotRunAsNobody;
  EXPECT_EQ(r.exitCode, static_cast<int>(PackageOutcome::kFailed)) << r.output;
  // Refused before anything is done: the job folder cannot be made there.
  EXPECT_EQ(r.output, Message(kTextRepackFailed) + "reason: mkdir " +
                          (folder / ".quarnet-job-XXXXXX: ").string() + row.reason + "\n");
  EXPECT_EQ(Snapshot(dir()), before);
  if (!shm.path().empty()) {
    EXPECT_EQ(Snapshot(shm.path()), shmBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnwritableOutput,
    ::testing::Values(
        UnwritableCase{"ReadOnlyFolder", "ro/new.bin", true, "Permission denied"},
        UnwritableCase{"ReadOnlyFolderOnAnotherFileSystem", "SHM/ro/new.bin", true, "Permission denied"},
        UnwritableCase{"MissingFolder", "no/such/new.bin", false, "No such file or directory"},
        UnwritableCase{"ParentIsARegularFile", "cfg.xml/new.bin", false, "Not a directory"},
        UnwritableCase{"FileSystemWithoutFiles", "/proc/quarnet-new.bin", false, "No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

// The disk fills up: first under a file-size limit (writes fail with EFBIG),
// then on small file systems (ENOSPC).
// The items are read in place: only the package write can fill the disk.
TEST_F(FlowFaults, DiskFullWhileBuilding) {
  struct Row {
    const char* what;
    std::uint64_t limit;
    std::string line;
  };
  for (const Row& row : {Row{"first block", 20000, kBuildFailed}, Row{"package write", 60000, kBuildFailed}}) {
    const auto before = Snapshot(dir());
    const ChildResult r = RunFlowInChild(Choices("out.bin"), [&] {
      LimitFileSize(row.limit);
      return true;
    });
    EXPECT_EQ(r.exitCode, static_cast<int>(PackageOutcome::kFailed)) << row.what << r.output;
    EXPECT_NE(r.output.find(row.line), std::string::npos) << row.what << r.output;
    EXPECT_NE(r.output.find(Message(kTextRepackFailed)), std::string::npos) << row.what;
    EXPECT_EQ(Snapshot(dir()), before) << row.what;
  }
}

// The job works beside its output: a temporary folder far smaller than the
// original does not matter.
TEST_F(FlowFaults, SmallTemporaryFolder) {
  auto items = OriginalItems();
  items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(2 << 20, 0x52));
  WriteBytes("orig.bin", LayOutPackage(items, kProducts));
  const ChildResult r = RunFlowInChild(Choices("out.bin"), [&] { return MountSmallTmpfs("tmp", 1 << 20); });
  if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(r.exitCode, static_cast<int>(PackageOutcome::kSucceeded)) << r.output;
  const auto written = DecodeAndVerify(ReadBytes("out.bin")).items;
  ASSERT_GT(written.size(), 2u);
  EXPECT_EQ(written[2].data, items[2].data);
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"cfg.xml", "orig.bin", "out.bin", "tmp"}));
}

// A job folder left by a process that is gone is removed by the next job
// beside it; the folder of a job still running is not.
TEST_F(FlowFaults, StaleJobFoldersAreSweptLiveOnesKept) {
  auto jobFolders = [&] {
    std::vector<std::string> names = ListDir(dir());
    std::erase_if(names, [](const std::string& n) { return n.rfind(".quarnet-job-", 0) != 0; });
    return names;
  };
  const std::string output = (dir() / "out.bin").string();
  std::string where;
  // Killed mid-job: the process ends without its clean-up.
  RunInChild([&] {
    auto* killed = new os::PrivateFolder;
    const bool made = killed->Create(os::Folder(), dir().string(), ".quarnet-job-", where) == 0;
    WriteText(fs::path(killed->path()) / "KERNEL.bin", "partial");
    ::_exit(made ? 0 : 1);
    return 0;
  });
  ASSERT_EQ(jobFolders().size(), 1u);
  auto c = Choices(output);
  c.originalPackage = (dir() / "orig.bin").string();
  c.configFile = (dir() / "cfg.xml").string();
  os::PrivateFolder live;
  ASSERT_EQ(live.Create(os::Folder(), dir().string(), ".quarnet-job-", where), 0) << where;
  EXPECT_EQ(RunFlow(c), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(jobFolders(), std::vector<std::string>{fs::path(live.path()).filename().string()});
}

#endif

// A stop requested (a signal, the Cancel button) before the job or at the
// first block it reports fails the job like any failure, with the reason.
TEST_F(FlowFaults, CancelledJobFailsAndChangesNothing) {
  for (const bool atFirstBlock : {false, true}) {
    const auto before = Snapshot(dir());
    if (!atFirstBlock) RequestCancel();
    SetProgressSink([](std::uint64_t done, std::uint64_t) {
      if (done > 0) RequestCancel();
    });
    const PackageOutcome outcome = RunFlow(Choices("out.bin"));
    SetProgressSink({});
    EXPECT_TRUE(CancelRequested()) << atFirstBlock;
    ResetCancel();
    EXPECT_EQ(outcome, PackageOutcome::kFailed) << atFirstBlock;
    EXPECT_EQ(LastJobReport().reason, "cancelled") << atFirstBlock;
    EXPECT_EQ(Snapshot(dir()), before) << atFirstBlock;
  }
}

#ifndef _WIN32
// The output's file system has room for the old output but not for the
// job: the job fails there and leaves nothing behind.
TEST_F(FlowFaults, OutputOnAFullFileSystem) {
  fs::create_directory("small");
  const auto before = Snapshot(dir());
  const ChildResult r = RunFlowInChild(
      Choices("small/new.bin"),
      [&] {
        if (!MountSmallTmpfs("small", 64 * 1024)) return false;
        WriteText("small/new.bin", kPrecious);
        return true;
      },
      [] {
        for (const auto& [name, contents] : Snapshot("small")) Print("[small] %s=%s\n", name.c_str(), contents.c_str());
      });
  if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(r.exitCode, static_cast<int>(PackageOutcome::kFailed)) << r.output;
  EXPECT_NE(r.output.find(kBuildFailed), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("[small] new.bin=precious\n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("[small] ."), std::string::npos) << r.output;  // no job folder
  EXPECT_EQ(Snapshot(dir()), before);
}

// The job works in the caller's folder: a failed package write leaves no
// package file there, and the items were never written out.
TEST_F(FlowFaults, JobUnderAFileSizeLimitLeavesNoPackage) {
  fs::create_directory("work");
  WriteText("work/new.bin", kPrecious);
  const ChildResult r = RunInChild([] {
    LimitFileSize(60000);
    ScopedChdir in("work");
    RepackRequest request;
    AddItemDescriptor("../cfg.xml", "/mnt/jffs2/qz_ctree.xml", 0, &request.descriptors[0], request.descriptorCount);
    return RunRepackJob("../orig.bin", request, "new.bin") == 0 ? 0 : 1;
  });
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find(kBuildFailed), std::string::npos) << r.output;
  EXPECT_EQ(ListDir("work"), (std::vector<std::string>{"new.bin", "pack_xml.log"}));
  EXPECT_EQ(ReadText("work/new.bin"), kPrecious);
}

// The chosen configuration file is read by its check, then once more by
// the job, into its own folder: what the builder packs and the check of the
// new package compares is that copy. A file that changed in between
// (another program still writing it) fails the job before it builds.
TEST_F(FlowFaults, ConfigurationFileIsPackedAsChecked) {
  const fs::path cfg = dir() / "cfg.xml";
  const std::string xml = "<config>" + std::string(1000, 'c') + "</config>";
  for (const bool changes : {false, true}) {
    SCOPED_TRACE(changes);
    WriteText("cfg.xml", xml);
    const int writer = ::open("cfg.xml", O_WRONLY);
    auto c = Choices("out.bin");
    c.asDefault = false;
    PackageOutcome outcome = PackageOutcome::kRefused;
    int opens = 0;
    {
      OpenGate gate(cfg, 2, [&] { return !changes || ::pwrite(writer, "d", 1, 20) == 1; });
      if (!gate.ok()) GTEST_SKIP() << "cannot watch file accesses here";
      outcome = RunFlow(c);
      opens = gate.opens();
    }
    ::close(writer);
    EXPECT_EQ(opens, 2);
    if (changes) {
      EXPECT_EQ(outcome, PackageOutcome::kFailed);
      EXPECT_EQ(LastJobReport().reason, "cfg.xml changed after its check");
      EXPECT_EQ(ListDir("."), (std::vector<std::string>{"cfg.xml", "orig.bin", "out.bin", "tmp"}));
    } else {
      ASSERT_EQ(outcome, PackageOutcome::kSucceeded) << lines_;
    }
    EXPECT_EQ(DecodeAndVerify(ReadBytes("out.bin")).items[4].data, BytesOf(xml));
  }
}

#endif

// Byte offsets at which a truncated original ends: inside and at the edges of
// the header, the product list, each record and each item's data.
std::set<std::size_t> Cuts(const Bytes& package, std::size_t tableOffset, std::size_t itemCount) {
  std::set<std::size_t> cuts = {0, 3, 4, 20, 22, tableOffset - 1, tableOffset};
  if (tableOffset == kItemTableOffset) cuts.insert({35, 36, 100});
  for (std::size_t i = 0; i < itemCount; ++i) {
    const std::size_t record = tableOffset + kItemRecordSize * i;
    const ItemRecord r = DecodeItemRecord(std::span<const std::uint8_t, kItemRecordSize>(package.data() + record,
                                                                                         kItemRecordSize));
    cuts.insert({record + 1, record + 271, record + 275, record + kItemRecordSize - 1, r.itemOffset,
                 r.itemOffset + 1, r.itemOffset + r.itemLen / 2, r.itemOffset + r.itemLen - 1});
  }
  cuts.insert(package.size() - 1);
  return cuts;
}

// Only the data of the trailing EFS item is never read: an original cut
// inside it still repacks, every other cut fails the job.
TEST_F(FlowFaults, OriginalTruncatedAtEveryBoundary) {
  const std::vector<TestItem> items = OriginalItems();
  for (const bool compact : {false, true}) {
    const Bytes full = compact ? LayOutCompactPackage(items) : LayOutPackage(items, kProducts);
    const std::size_t tableOffset = compact ? kCompactHeaderSize : kItemTableOffset;
    const std::size_t efsData = full.size() - kEfsRecordSize;
    for (const std::size_t cut : Cuts(full, tableOffset, items.size())) {
      const Bytes truncated(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
      WriteBytes("orig.bin", truncated);
      WriteText("out.bin", kPrecious);
      const auto before = Snapshot(dir());
      const PackageOutcome outcome = RunFlow(Choices("out.bin"));
      EXPECT_EQ(ReadBytes("orig.bin"), truncated) << cut;
      if (cut >= efsData) {
        EXPECT_EQ(outcome, PackageOutcome::kSucceeded) << cut << lines_;
        EXPECT_EQ(DecodeAndVerify(ReadBytes("out.bin")).items.size(), 8u) << cut;
        continue;
      }
      EXPECT_EQ(outcome, PackageOutcome::kFailed) << compact << " cut at " << cut;
      EXPECT_NE(lines_.find(kNothingUnpacked), std::string::npos) << cut << lines_;
      EXPECT_EQ(Snapshot(dir()), before) << cut;
    }
  }
}

TEST_F(FlowFaults, OutputNamesTheOriginal) {
  fs::create_directory("sub");
  const Bytes original = LayOutPackage(OriginalItems(), kProducts);
  const Bytes mismatched = LayOutPackage(OriginalItems("V1", "V2"), kProducts);
  const std::string absolute = (dir() / "orig.bin").string();
  for (const std::string& output : {std::string("orig.bin"), std::string("./orig.bin"), std::string("sub/../orig.bin"),
                                    absolute}) {
    // A failed job keeps the original byte for byte.
    WriteBytes("orig.bin", mismatched);
    const auto before = Snapshot(dir());
    EXPECT_EQ(RunFlow(Choices(output)), PackageOutcome::kFailed) << output;
    EXPECT_EQ(Snapshot(dir()), before) << output;
    // A successful one replaces it.
    WriteBytes("orig.bin", original);
    ASSERT_EQ(RunFlow(Choices(output)), PackageOutcome::kSucceeded) << output << lines_;
    EXPECT_EQ(DecodeAndVerify(ReadBytes("orig.bin")).items.size(), 8u) << output;
  }
#ifndef _WIN32
  // A link to the original is replaced by the new package; the original
  // stays. (Windows refuses it.)
  fs::create_symlink("orig.bin", "link.bin");
  WriteBytes("orig.bin", original);
  ASSERT_EQ(RunFlow(Choices("link.bin")), PackageOutcome::kSucceeded) << lines_;
  EXPECT_FALSE(fs::is_symlink("link.bin"));
  EXPECT_EQ(DecodeAndVerify(ReadBytes("link.bin")).items.size(), 8u);
  EXPECT_EQ(ReadBytes("orig.bin"), original);
#endif
}

#ifndef _WIN32
TEST_F(FlowFaults, OutputOnAnotherFileSystem) {
  ShmDir shm;
  if (shm.path().empty()) GTEST_SKIP() << "no /dev/shm";
  const std::string output = (shm.path() / "new.bin").string();
  WriteText(output, kPrecious);
  WriteBytes("orig.bin", LayOutPackage(OriginalItems("V1", "V2"), kProducts));
  const auto before = Snapshot(dir());
  EXPECT_EQ(RunFlow(Choices(output)), PackageOutcome::kFailed);
  EXPECT_EQ(ListDir(shm.path()), std::vector<std::string>{"new.bin"});
  EXPECT_EQ(ReadText(output), kPrecious);
  EXPECT_EQ(Snapshot(dir()), before);

  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(RunFlow(Choices(output)), PackageOutcome::kSucceeded) << lines_;
  EXPECT_EQ(ListDir(shm.path()), std::vector<std::string>{"new.bin"});
  EXPECT_EQ(DecodeAndVerify(ReadBytes(output)).items.size(), 8u);
}

#endif

TEST_F(FlowFaults, ExistingOutputIsAFolder) {
  fs::create_directory("out.d");
  WriteText("out.d/inside", kPrecious);
  const auto before = Snapshot(dir());
  EXPECT_EQ(RunFlow(Choices("out.d")), PackageOutcome::kFailed);
  EXPECT_NE(lines_.find("Warring: \r\n'out.d' is existed"), std::string::npos) << lines_;
  EXPECT_NE(lines_.find(kRenameError), std::string::npos) << lines_;
  EXPECT_EQ(Snapshot(dir()), before);
}

// The job on its own works in the caller's folder, where files named like
// its transient files may already stand.
class JobInCallersFolder : public InTempDir {
 protected:
  JobInCallersFolder() {
    WriteText("cfg.xml", "<config/>");
    AddItemDescriptor("cfg.xml", "/mnt/jffs2/qz_ctree.xml", 0, &request_.descriptors[0], request_.descriptorCount);
  }
  int Run(const char* original, const char* output) {
    CapturedOutput out;
    const int result = RunRepackJob(original, request_, output);
    lines_ = out.text();
    return result;
  }
  RepackRequest request_;
  std::string lines_;
};

// An original whose items are out of the builder's order makes the builder
// write package[UKRF].bin while the job looks for package[KURF].bin: a file
// of that name left from before must not pass for the new package.
TEST_F(JobInCallersFolder, StalePackageFileIsNotTakenForTheNewOne) {
  auto items = OriginalItems();
  std::swap(items[0], items[1]);  // KERNEL, UBOOT, ROOTFS, UPDATEFLAG
  WriteBytes("orig.bin", LayOutPackage(items, kProducts));
  WriteText("package[KURF].bin", "stale");
  EXPECT_EQ(Run("orig.bin", "new.bin"), -1);
  EXPECT_NE(lines_.find("Error: New package file not created.\r\n"), std::string::npos) << lines_;
  EXPECT_FALSE(fs::exists("new.bin"));

  // In the builder's order the stale file is simply replaced.
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  WriteText("package[UKRF].bin", "stale");
  ASSERT_EQ(Run("orig.bin", "new.bin"), 0) << lines_;
  EXPECT_EQ(DecodeAndVerify(ReadBytes("new.bin")).items.size(), 6u);
  EXPECT_FALSE(fs::exists("package[UKRF].bin"));
}

// A folder named like the builder's output is not a package.
TEST_F(JobInCallersFolder, FolderNamedLikeThePackageIsNotMoved) {
  auto items = OriginalItems();
  std::swap(items[0], items[1]);
  WriteBytes("orig.bin", LayOutPackage(items, kProducts));
  fs::create_directories("package[KURF].bin/inside");
  EXPECT_EQ(Run("orig.bin", "new.bin"), -1);
  EXPECT_NE(lines_.find("Error: New package file not created.\r\n"), std::string::npos) << lines_;
  EXPECT_FALSE(fs::exists("new.bin"));
  EXPECT_TRUE(fs::is_directory("package[KURF].bin/inside"));
}

// Output and original named like exported item files.
TEST_F(JobInCallersFolder, OutputNamedLikeAnItemFileSurvivesTheCleanUp) {
  WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
  ASSERT_EQ(Run("orig.bin", "KERNEL.bin"), 0) << lines_;
  EXPECT_EQ(DecodeAndVerify(ReadBytes("KERNEL.bin")).items.size(), 6u);
  for (const char* name : {"UBOOT.bin", "ROOTFS.bin", "UPDATEFLAG.bin"}) EXPECT_FALSE(fs::exists(name)) << name;
}

// The items are read in place: an original named like one of them is
// repacked, and stays as it was.
TEST_F(JobInCallersFolder, OriginalNamedLikeOneOfItsItems) {
  const Bytes original = LayOutPackage(OriginalItems(), kProducts);
  WriteBytes("ROOTFS.bin", original);
  ASSERT_EQ(Run("ROOTFS.bin", "new.bin"), 0) << lines_;
  EXPECT_EQ(ReadBytes("ROOTFS.bin"), original);
  EXPECT_EQ(DecodeAndVerify(ReadBytes("new.bin")).items.size(), 6u);
}

}  // namespace
}  // namespace quarnet::test
