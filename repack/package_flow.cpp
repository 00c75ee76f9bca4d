// The Package button's flow, shared by the desktop program and the command line.
#include "repack/package_flow.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <utility>

#include "package/crc32.h"
#include "platform/job_folder.h"
#include "package/file_copy.h"
#include "package/files.h"
#include "package/job_control.h"
#include "package/output.h"
#include "repack/repack.h"

namespace quarnet {
namespace {

// Device paths of the chosen files and the staging files.
constexpr char kConfigDevicePath[] = "/mnt/jffs2/qz_ctree.xml";
constexpr char kDefaultConfigDevicePath[] = "/mnt/jffs2/qz_default_ctree.xml";
constexpr char kScriptDevicePath[] = "/var/default_script.sh&";
constexpr char kConfigPackDevicePath[] = "/mnt/jffs2/customize_xml.tar.gz";
constexpr char kUpdateFlagDevicePath[] = "/mnt/jffs2/Updateflag";
constexpr char kUpdateScriptDevicePath[] = "/mnt/jffs2/customize_upgrade.tar.gz";
constexpr char kDefaultScriptName[] = "default_script.sh";
// The job's copies of the chosen files, in its folder.
constexpr char kConfigCopyName[] = "config.xml";
constexpr char kConfigPackCopyName[] = "config-pack.tar.gz";
constexpr char kUpdateScriptCopyName[] = "update-script.tar.gz";
constexpr char kJobFolderPrefix[] = ".quarnet-job-";

bool RequiredPathMissing(const PackageChoices& c) {
  if (c.fileType == PackageFileType::kConfigFile) return c.configFile.empty() || c.newPackage.empty();
  return c.newPackage.empty() || c.configPack.empty();
}

// The checks of the chosen files the job would take, of those that could be
// opened. The user's relative paths name files in the current folder.
std::vector<FileCheck> CheckChoices(const PackageChoices& c) {
  std::vector<std::pair<const std::string*, FileRole>> chosen;
  if (c.fileType == PackageFileType::kConfigFile) {
    chosen = {{&c.configFile, FileRole::kConfigFile}};
  } else {
    chosen = {{&c.configPack, FileRole::kConfigPack}};
    if (!c.updateScript.empty()) chosen.emplace_back(&c.updateScript, FileRole::kUpdateScript);
  }
  const os::Folder current;
  std::vector<FileCheck> checks;
  for (const auto& [path, role] : chosen) {
    if (const std::optional<FileCheck> check = CheckChosenFile(current, *path, role)) checks.push_back(*check);
  }
  return checks;
}

// The checks that failed or did not judge their file.
std::vector<FileCheck> Findings(const std::vector<FileCheck>& checks) {
  std::vector<FileCheck> findings;
  std::copy_if(checks.begin(), checks.end(), std::back_inserter(findings),
               [](const FileCheck& check) { return check.problem != CheckProblem::kNone; });
  return findings;
}

// A stop asked for while the files were checked ends the flow as a stopped
// job does.
PackageOutcome Stopped(PackageFrontEnd& frontEnd) {
  SetFailureReason("cancelled", FailureKind::kCancelled);
  frontEnd.ShowMessage(kTextRepackFailed, 0);
  return PackageOutcome::kFailed;
}

// The job's files and what it staged for the check.
class Staging {
 public:
  Staging(const os::Folder& user, const std::vector<FileCheck>& checks) : user_(user), checks_(checks) {}

  // Copies the chosen file `path` into the job's folder as `copy`, taking
  // the length and CRC of the bytes read. A file that cannot be copied is
  // left out: the builder then fails on it, as it would on the original.
  // A copy that differs from the bytes the file's check judged fails the
  // job: the file changed in between.
  const char* Copy(const std::string& path, const char* copy) {
    InputFile in;
    OutputFile out(Durability::kScratch);  // in the job's folder
    StagedInput staged{copy};
    if (in.Open(user_, path) && out.Create(copy)) {
      FileSource source(in);
      WriteSink sink(&out, kToEnd);
      const CopyResult r = sink.ok() ? CopyBlocks(source, sink, kToEnd, &staged.crc) : CopyResult{};
      staged.length = r.copied;
      if (r.complete && !AsChecked(path, staged)) return copy;
      if (r.complete && out.Commit()) staged_.push_back(staged);
    }
    return copy;
  }

  // No chosen file changed after its check.
  bool ok() const { return !changed_; }

  void Written(const char* name, std::string_view content) {
    staged_.push_back({name, content.size(), Crc32Update(0, content.data(), content.size())});
  }

  JobContext Context() const { return {&user_, staged_}; }

 private:
  // False, with the reason recorded, when the copy of `path` is not what
  // its check read whole.
  bool AsChecked(const std::string& path, const StagedInput& staged) {
    const auto differs = [&](const FileCheck& check) {
      return check.path == path && check.whole && (check.length != staged.length || check.crc != staged.crc);
    };
    if (std::none_of(checks_.begin(), checks_.end(), differs)) return true;
    SetFailureReason(path + " changed after its check");
    changed_ = true;
    return false;
  }

  const os::Folder& user_;
  const std::vector<FileCheck>& checks_;
  std::vector<StagedInput> staged_;
  bool changed_ = false;
};

// Staging files and copies of the chosen files in the job's folder, and the
// descriptors that add them at their device paths.
void StageFiles(const PackageChoices& c, RepackRequest& request, PackageFrontEnd& frontEnd, Staging& staging) {
  std::uint32_t& count = request.descriptorCount;
  auto& slots = request.descriptors;
  if (c.fileType == PackageFileType::kConfigFile) {
    const char* config = staging.Copy(c.configFile, kConfigCopyName);
    AddItemDescriptor(config, kConfigDevicePath, 0, &slots[0], count);
    if (WriteDefaultScript(kDefaultScriptName) == 0) staging.Written(kDefaultScriptName, DefaultScriptContent());
    AddItemDescriptor(kDefaultScriptName, kScriptDevicePath, 0, &slots[1], count);
    if (c.asDefault) AddItemDescriptor(config, kDefaultConfigDevicePath, 0, &slots[2], count);
    return;
  }
  int updateMode = kFactoryMode;
  AddItemDescriptor(staging.Copy(c.configPack, kConfigPackCopyName), kConfigPackDevicePath, 0, &slots[0], count);
  frontEnd.GetUpdateMode(updateMode);
  if (WriteUpdateFlag(updateMode) == 0) staging.Written(kUpdateFlagName, UpdateFlagContent(updateMode));
  AddItemDescriptor(kUpdateFlagName, kUpdateFlagDevicePath, 0, &slots[1], count);
  if (!c.updateScript.empty())
    AddItemDescriptor(staging.Copy(c.updateScript, kUpdateScriptCopyName), kUpdateScriptDevicePath, 0, &slots[2],
                      count);
}

FailureKind JobFolderFailure(os::Error error) {
  if (os::IsDiskFull(error)) return FailureKind::kDiskFull;
  if (error == ENOENT || error == ENOTDIR) return FailureKind::kOutputFolderMissing;
  return FailureKind::kOutputFolder;
}

// Makes the job's private folder beside the output. An output folder that
// takes no new files fails the job here, before anything is done; the
// failure concerns the output's folder, not the job folder's name.
bool MakeJobFolder(const os::Folder& user, const std::string& output, os::PrivateFolder& folder) {
  std::string where;
  const std::string parent = os::FolderOf(output);
  const os::Error error = folder.Create(user, parent, kJobFolderPrefix, where);
  if (error == 0) return true;
  SetSystemFailure(where + ": " + os::Describe(error), JobFolderFailure(error), parent, error);
  return false;
}

int RunJob(const PackageChoices& c, const std::vector<FileCheck>& checks, RepackRequest& request,
           PackageFrontEnd& frontEnd) {
  os::Folder user;
  if (const os::Error error = os::OpenStartFolder(user)) {
    RecordSystemError("open", "the current folder", error);
    return -1;
  }
  os::PrivateFolder folder;
  if (!MakeJobFolder(user, c.newPackage, folder)) return -1;
  int result = -1;
  {
    const ScopedScratchFolder scratch(folder.folder());
    Staging staging(user, checks);
    StageFiles(c, request, frontEnd, staging);
    if (staging.ok()) {
      result = RunRepackJob(c.originalPackage.empty() ? nullptr : c.originalPackage.c_str(), request,
                            c.newPackage.c_str(), staging.Context());
    }
  }
  if (const os::Error error = folder.Remove()) {
    const std::string what = "remove " + folder.path() + ": " + os::Describe(error);
    if (result == 0) AddWarning(what, WarningKind::kJobFolderLeft);
    else SetSystemFailure(what, FailureKind::kOther, folder.path(), error);
  }
  return result;
}

}  // namespace

PackageOutcome RunPackageFlow(const PackageChoices& c, PackageFrontEnd& frontEnd) {
  ResetJobReport();
  if (RequiredPathMissing(c)) {
    frontEnd.ShowMessage(kTextSelectFiles, 0);
    return PackageOutcome::kRefused;
  }
  const std::vector<FileCheck> checks = CheckChoices(c);
  if (CancelRequested()) return Stopped(frontEnd);
  if (const std::vector<FileCheck> findings = Findings(checks); !findings.empty() && !frontEnd.ReviewChecks(findings))
    return PackageOutcome::kRefused;
  RepackRequest request;
  if (c.originalPackage.empty()) {
    if (frontEnd.SelectProducts(request.productList) != 0) return PackageOutcome::kCancelled;
    if (request.productList[0] == '\0') {
      frontEnd.ShowMessage(kTextSelectProducts, 0);
      return PackageOutcome::kRefused;
    }
  }
  // The outcome shows once the job's folder is gone.
  const int result = RunJob(c, checks, request, frontEnd);
  frontEnd.ShowMessage(result == 0 ? kTextRepackSuccess : kTextRepackFailed, 0);
  return result == 0 ? PackageOutcome::kSucceeded : PackageOutcome::kFailed;
}

}  // namespace quarnet
