// One repack job: unpack the original package, rebuild, move into place.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "basic/naming.h"
#include "package/display_text.h"
#include "package/files.h"
#include "package/item_input.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/package_diff.h"
#include "package/reader.h"
#include "repack/repack.h"
#include "repack/verify.h"

namespace quarnet {
namespace {

constexpr char kNormalFileName[] = "NormalFile.bin";

// The folders of one job: its own files in the working folder, the user's
// paths in `user`.
struct Places {
  const os::Folder& user;
  const os::Folder& work = os::WorkingFolder();
};

// What stands at `path`; kNothing also when the system cannot tell (the
// reason is then recorded).
os::Kind KindAt(const os::Folder& base, const std::string& path) {
  os::Entry entry;
  return LookAt(base, path, entry) ? entry.kind : os::Kind::kNothing;
}

// The original package must exist before anything is opened. Its path has
// no length limit of its own: the job reads it where the user named it.
bool CheckOriginal(const char* originalPath, const Places& at) {
  if (KindAt(at.user, originalPath) == os::Kind::kNothing) {
    SetSystemFailure(std::string("open ") + originalPath + ": " + os::Describe(ENOENT), FailureKind::kInputMissing,
                     originalPath, ENOENT);
    Print("Error: Cannot open package file '%s'\r\n", DisplayText(originalPath).c_str());
    return false;
  }
  return true;
}

std::string ChooseOutputPath(const char* originalPath, const char* outputPath) {
  if (outputPath != nullptr) return outputPath;
  if (originalPath != nullptr) return DefaultNewPackageName(originalPath);
  return kNormalFileName;
}

int Fail() {
  CloseJobLog();
  return -1;
}

// A stop asked for between two stages fails the job as any failure does.
bool Cancelled() {
  if (!CancelRequested()) return false;
  SetFailureReason("cancelled", FailureKind::kCancelled);
  return true;
}

// The job's progress over its three stages, weighted by the bytes each
// moves: the export reads the original, the build writes the new package,
// the check reads it back. The whole is estimated when the job begins, from
// the original and the staged files, and set anew as each stage learns its
// size, so the bar rises evenly and reaches its end only when the job ends.
class JobProgress {
 public:
  explicit JobProgress(std::uint64_t staged) : staged_(staged) {}
  void Unpacking(std::uint64_t originalSize) { Enter(JobStage::kUnpacking, 3 * originalSize + 2 * staged_); }
  void Building(std::uint64_t packageSize) { Enter(JobStage::kBuilding, 2 * packageSize); }
  void Checking(std::uint64_t packageSize) { Enter(JobStage::kChecking, packageSize); }

 private:
  void Enter(JobStage stage, std::uint64_t remaining) {
    SetJobStage(stage);
    if (!begun_) {
      BeginProgress(std::max<std::uint64_t>(remaining, 1));
      begun_ = true;
    } else {
      SetProgressRemaining(remaining);
    }
  }

  std::uint64_t staged_;
  bool begun_ = false;
};

// The exported items of the original, as the export pass wrote them.
// The original's items, read in place: their ranges stand in for item
// files, so nothing of them is written before the new package.
struct Original {
  InputFile file;
  ItemRanges ranges{file};
  ItemNameTable names{};
  ExportTable exported{};
  int count = 0;
  bool compact = false;
  // Its header and records, each exported item with the CRC of the bytes
  // the export read.
  PackageFacts facts;
};

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIx32, value);
  return text;
}

// An original whose own item CRC disagrees with its bytes is damaged. A
// full package is refused; a compact one, which carries no header checksum
// to vouch for its records, is repacked with a warning per item.
bool CheckItemCrcs(const Original& o) {
  for (int i = 0; i < o.count; ++i) {
    const ExportedItem& e = o.exported[i];
    if (e.recordCrc == e.crc) continue;
    const std::string name(GetText(o.names[i]));
    if (!o.compact) {
      SetFailureFinding(Finding::kItemCrcDiffers, {std::to_string(e.index), name, Hex(e.recordCrc), Hex(e.crc)},
                        FailureKind::kDamagedOriginal);
      return false;
    }
    AddWarning("the original package's item " + std::to_string(e.index) + " (" + name + "): its record says CRC " +
                   Hex(e.recordCrc) + ", its bytes have CRC " + Hex(e.crc) + "; repacked with its bytes",
               WarningKind::kOriginalCrc);
  }
  return true;
}

// The original's records, read once more now that its items are known:
// the new package is held against them after its check.
bool ReadOriginalFacts(Original& o) {
  o.facts = ReadPackageFacts(o.file, ItemBytes::kSkipped);
  if (!o.facts.readable) return false;
  for (int i = 0; i < o.count; ++i) {
    const ExportedItem& e = o.exported[i];
    if (static_cast<std::size_t>(e.index) < o.facts.items.size()) o.facts.items[e.index].dataCrc = e.crc;
  }
  return true;
}

// Reads the original's items in place; their names and facts go into `o`,
// its product list replaces the request's.
bool Unpack(const char* originalPath, const Places& at, Original& o, RepackRequest& request, JobProgress& progress) {
  if (Cancelled()) return false;
  Print("Start to un-pack full all package '%s' ...... ", DisplayText(originalPath).c_str());
  InputFile& file = o.file;
  std::uint64_t size = 0;
  if (!file.Open(at.user, originalPath) || !file.Size(size)) {
    Print("Open file %s error.\r\n", DisplayText(originalPath).c_str());
    o.count = -1;
  } else {
    progress.Unpacking(size);
    ProductListBuffer packageProductList{};
    o.count = UnpackPackage(file, o.names, packageProductList, &o.exported, &o.ranges);
    request.productList = packageProductList;
    std::array<std::uint8_t, 4> mark{};
    o.compact = file.ReadAt(0, mark) == mark.size() && mark == std::array<std::uint8_t, 4>{'Q', 'Z', 'T', 'P'};
  }
  if (o.count <= 0) {
    Print("Error: No file un-packed.\r\n");
    return false;
  }
  Print("Done.\r\n");
  if (request.productList[0] == '\0')
    AddWarning("the original package has no product list, so the new package has none", WarningKind::kNoProductList);
  return ReadOriginalFacts(o);
}

// The version the argument builder gives the kernel and root file system:
// the kernel's head version, as it reads it.
std::string KernelVersion(const Original& o) {
  for (int i = 0; i < o.count; ++i) {
    if (GetText(o.names[i]) != item::kKernel) continue;
    VersionBuffer version{};
    ReadItemHeadVersion((std::string(item::kKernel) + ".bin").c_str(), version);
    return std::string(GetText(version));
  }
  return "";
}

// Reads the new package back and holds it against the plan (the mismatch
// is the job's failure reason), then syncs it: it is about to take the
// output's name. What it holds against the `original`, when there is one,
// goes into the report with what was verified.
bool Prove(InputFile& package, const RepackPlan& plan, const Original* original, JobProgress& progress) {
  std::uint64_t size = 0;
  if (!package.Size(size)) return false;
  progress.Checking(size);
  const Verdict verdict = VerifyRepack(package, plan);
  if (!verdict.ok) {
    if (!Cancelled()) SetFailureFinding(Finding::kCheckFailed, {verdict.text}, FailureKind::kCheckFailed);
    return false;
  }
  if (const os::Error error = package.file().Sync()) {
    RecordSystemError("sync", package.name(), error);
    return false;
  }
  SetVerifiedSummary(verdict.text, verdict.counts);
  if (original != nullptr) SetAgainstOriginal(ComparePackages(original->facts, verdict.facts));
  return true;
}

// Renames the new package over the output; a folder that cannot be synced
// afterwards is a warning, since the output was replaced.
bool MoveIntoPlace(const std::string& packageName, const std::string& output, const Places& at) {
  const os::Committed c = os::Replace(at.work, packageName, at.user, output);
  if (c.error != 0) {
    RecordSystemError("rename", output, c.error);
    return false;
  }
  if (c.warning != 0) AddWarning("sync the folder of " + output + ": " + os::Describe(c.warning), WarningKind::kNotSynced);
  return true;
}

}  // namespace

// The job's report (failure reason, verified summary, output path) collects
// this job's outcome; the caller clears it before the job, and owns the
// cancel request, which a signal may have set already.
int RunRepackJob(const char* originalPath, RepackRequest& request, const char* outputPath,
                 const JobContext& context) {
  const Places at{context.userFolder != nullptr ? *context.userFolder : os::WorkingFolder()};
  Original original;
  const ScopedItemRanges items(original.ranges);
  std::uint64_t staged = 0;
  for (const StagedInput& s : context.staged) staged += s.length;
  JobProgress progress(staged);

  if (originalPath != nullptr && !CheckOriginal(originalPath, at)) return -1;
  OpenJobLog();
  if (originalPath != nullptr && !Unpack(originalPath, at, original, request, progress)) return Fail();
  if (Cancelled() || !CheckItemCrcs(original)) return Fail();
  RepackPlan plan;
  if (!PlanRepack(original.names, original.exported, original.count, KernelVersion(original), request,
                  context.staged, plan))
    return Fail();
  std::uint64_t planned = kItemTableOffset + kItemRecordSize * plan.items.size();
  for (const ExpectedItem& e : plan.items) planned += e.length;
  progress.Building(planned);

  // The builder's output is looked for under this name: a file left there
  // before the job must not pass for the new package.
  const std::string output = ChooseOutputPath(originalPath, outputPath);
  PathBuffer packageName{};
  ExpectedPackageName(original.count, original.names, packageName);
  os::Remove(at.work, packageName.data());

  Print("Start make new package with Normal file.....");
  if (MakePackagesWithXML(original.count, original.names, &request) != 0) {
    Print("Error: MakePackagesWithXML error.\r\n");
    return Fail();
  }
  Print("Done.\r\n");
  // Read to the end: the original may be the output, which Windows
  // replaces only when no one holds it open.
  original.file.Close();

  // The old file is only replaced by the move below, so a failed job keeps it.
  if (KindAt(at.user, output) != os::Kind::kNothing)
    Print("Warring: \r\n'%s' is existed, and overwrite it!\r\n", DisplayText(output).c_str());

  InputFile package;
  if (KindAt(at.work, packageName.data()) != os::Kind::kRegular || !package.Open(packageName.data())) {
    Print("Error: New package file not created.\r\n");
    return Fail();
  }
  const Original* compared = originalPath != nullptr ? &original : nullptr;
  if (Cancelled() || !Prove(package, plan, compared, progress) || Cancelled()) return Fail();
  if (!MoveIntoPlace(packageName.data(), output, at)) {
    Print("Error: Rename new file error.\r\n");
    return Fail();
  }
  SetOutputPath(output);
  EndProgress();
  Print("Make new package '%s' done.\r\n", DisplayText(output).c_str());
  CloseJobLog();
  return 0;
}

}  // namespace quarnet
