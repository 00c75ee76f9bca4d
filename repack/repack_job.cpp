// One repack job: unpack the original package, rebuild, move into place.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "basic/naming.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"
#include "repack/move_file.h"
#include "repack/repack.h"
#include "repack/verify.h"

namespace quarnet {
namespace {

constexpr std::size_t kMaxOriginalPathLength = 256;
constexpr char kNormalFileName[] = "NormalFile.bin";

bool PathExists(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0;
}

bool IsRegularFile(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// Checks of the original package before anything is opened.
bool CheckOriginal(const char* originalPath) {
  if (std::strlen(originalPath) > kMaxOriginalPathLength) {
    Print("Error: File name too loog,                     more than 256 chars!Name = %s\r\n", originalPath);
    return false;
  }
  if (!PathExists(originalPath)) {
    Print("Error: Cannot open package file '%s'\r\n", originalPath);
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

// Deletes the exported item files, except one that the new package has just
// replaced (an output path named like an item file).
void RemoveExportedItems(int itemCount, const ItemNameTable& itemNames, const std::string& output) {
  ItemNameTable exported{};
  int count = 0;
  for (int i = 0; i < itemCount; ++i) {
    std::error_code ec;
    if (std::filesystem::equivalent(std::string(GetText(itemNames[i])) + ".bin", output, ec)) continue;
    exported[count++] = itemNames[i];
  }
  RemoveItemFiles(count, exported);
}

// Size of a file for the progress total, 0 when unknown. Taken without
// opening the file.
std::uint64_t SizeOf(const char* path) {
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

// The bytes of the items the plan lists, the added files as they are now.
std::uint64_t PlannedBytes(const RepackPlan& plan, bool addedOnly) {
  std::uint64_t bytes = 0;
  for (const ExpectedItem& e : plan.items) {
    if (!e.localFile.empty()) bytes += SizeOf(e.localFile.c_str());
    else if (!addedOnly) bytes += e.length;
  }
  return bytes;
}

// The job's progress runs over its stages, each added to the total once its
// size is known: the original's bytes, the build, the read-back.
class JobProgress {
 public:
  void Add(std::uint64_t bytes) {
    if (begun_) {
      AddProgressTotal(bytes);
    } else if (bytes > 0) {
      BeginProgress(bytes);
      begun_ = true;
    }
  }

 private:
  bool begun_ = false;
};

// A stop asked for between two stages fails the job as any failure does.
bool Cancelled() {
  if (!CancelRequested()) return false;
  SetFailureReason("cancelled");
  return true;
}

// Exports the original's items; their names go into `itemNames`, its
// product list replaces the request's.
bool Unpack(const char* originalPath, ItemNameTable& itemNames, int& itemCount, RepackRequest& request,
            JobProgress& progress) {
  progress.Add(SizeOf(originalPath));
  if (Cancelled()) return false;
  ProductListBuffer packageProductList{};
  Print("Start to un-pack full all package '%s' ...... ", originalPath);
  itemCount = UnpackPackage(originalPath, itemNames, packageProductList);
  if (itemCount <= 0) {
    Print("Error: No file un-packed.\r\n");
    return false;
  }
  Print("Done.\r\n");
  request.productList = packageProductList;
  return true;
}

// Reads the new package back and holds it against the plan; the mismatch
// is the job's failure reason.
bool Prove(const PathBuffer& packageName, const RepackPlan& plan, JobProgress& progress) {
  progress.Add(SizeOf(packageName.data()) + PlannedBytes(plan, true));
  const Verdict verdict = VerifyRepack(packageName.data(), plan);
  if (!verdict.ok) {
    if (!Cancelled()) SetFailureReason("the new package failed its check: " + verdict.text);
    return false;
  }
  SetVerifiedSummary(verdict.text);
  return true;
}

}  // namespace

// The job's report (failure reason, verified summary, output path) collects
// this job's outcome; the caller clears it before the job, and owns the
// cancel request, which a signal may have set already.
int RunRepackJob(const char* originalPath, RepackRequest& request, const char* outputPath) {
  ItemNameTable itemNames{};
  int itemCount = 0;
  JobProgress progress;

  if (originalPath != nullptr && !CheckOriginal(originalPath)) return -1;
  OpenJobLog();
  if (originalPath != nullptr && !Unpack(originalPath, itemNames, itemCount, request, progress)) return Fail();
  RepackPlan plan;
  std::string why;
  if (Cancelled()) return Fail();
  if (!PlanRepack(originalPath, request, plan, why)) {
    SetFailureReason(why);
    return Fail();
  }
  progress.Add(kItemTableOffset + kItemRecordSize * plan.items.size() + PlannedBytes(plan, false));

  // The builder's output is looked for under this name: a file left there
  // before the job must not pass for the new package (unless it is the
  // user's output, which only the move may replace).
  const std::string output = ChooseOutputPath(originalPath, outputPath);
  PathBuffer packageName{};
  ExpectedPackageName(itemCount, itemNames, packageName);
  std::error_code ec;
  if (!std::filesystem::equivalent(packageName.data(), output, ec)) RemoveIfExists(packageName.data());

  Print("Start make new package with Normal file.....");
  if (MakePackagesWithXML(itemCount, itemNames, &request) != 0) {
    Print("Error: MakePackagesWithXML error.\r\n");
    return Fail();
  }
  Print("Done.\r\n");

  // The old file is only replaced by the move below, so a failed job keeps it.
  if (PathExists(output.c_str())) Print("Warring: \r\n'%s' is existed, and overwrite it!\r\n", output.c_str());

  if (!IsRegularFile(packageName.data())) {
    Print("Error: New package file not created.\r\n");
    return Fail();
  }
  if (Cancelled() || !Prove(packageName, plan, progress) || Cancelled()) return Fail();
  if (MoveReplacing(packageName.data(), output.c_str()) != 0) {
    Print("Error: Rename new file error.\r\n");
    return Fail();
  }
  RemoveExportedItems(itemCount, itemNames, output);
  SetOutputPath(output);
  EndProgress();
  Print("Make new package '%s' done.\r\n", output.c_str());
  CloseJobLog();
  return 0;
}

}  // namespace quarnet
