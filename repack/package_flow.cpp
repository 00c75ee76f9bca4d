// The Package button's flow, shared by the desktop program and the command line.
#include "repack/package_flow.h"

#include <filesystem>
#include <initializer_list>

#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "repack/repack.h"
#include "repack/work_dir.h"

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
constexpr char kUpdateFlagName[] = "Updateflag";

std::string Absolute(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

PackageChoices AbsoluteChoices(const PackageChoices& choices) {
  PackageChoices c = choices;
  for (std::string* path : {&c.originalPackage, &c.configFile, &c.newPackage, &c.configPack, &c.updateScript})
    *path = Absolute(*path);
  return c;
}

bool TooLong(const std::string& path) { return path.size() > static_cast<std::size_t>(kMaxPathLength); }

// "-n" + local path + "@" + device path must fit a 255-character descriptor.
bool DescriptorTooLong(const std::string& localPath, std::string_view devicePath) {
  return !localPath.empty() && 3 + localPath.size() + devicePath.size() > static_cast<std::size_t>(kMaxPathLength);
}

bool AnyDescriptorTooLong(const PackageChoices& c) {
  if (c.fileType == PackageFileType::kConfigFile)
    return DescriptorTooLong(c.configFile, kConfigDevicePath) ||
           (c.asDefault && DescriptorTooLong(c.configFile, kDefaultConfigDevicePath));
  return DescriptorTooLong(c.configPack, kConfigPackDevicePath) ||
         DescriptorTooLong(c.updateScript, kUpdateScriptDevicePath);
}

bool RequiredPathMissing(const PackageChoices& c) {
  if (c.fileType == PackageFileType::kConfigFile) return c.configFile.empty() || c.newPackage.empty();
  return c.newPackage.empty() || c.configPack.empty();
}

// Staging files in the working directory and the descriptors that add the
// chosen files at their device paths.
void StageFiles(const PackageChoices& c, RepackRequest& request, PackageFrontEnd& frontEnd) {
  std::uint32_t& count = request.descriptorCount;
  auto& slots = request.descriptors;
  if (c.fileType == PackageFileType::kConfigFile) {
    AddItemDescriptor(c.configFile.c_str(), kConfigDevicePath, 0, &slots[0], count);
    WriteDefaultScript(kDefaultScriptName);
    AddItemDescriptor(kDefaultScriptName, kScriptDevicePath, 0, &slots[1], count);
    if (c.asDefault) AddItemDescriptor(c.configFile.c_str(), kDefaultConfigDevicePath, 0, &slots[2], count);
    return;
  }
  int updateMode = kFactoryMode;
  AddItemDescriptor(c.configPack.c_str(), kConfigPackDevicePath, 0, &slots[0], count);
  frontEnd.GetUpdateMode(updateMode);
  WriteUpdateFlag(updateMode);
  AddItemDescriptor(kUpdateFlagName, kUpdateFlagDevicePath, 0, &slots[1], count);
  if (!c.updateScript.empty())
    AddItemDescriptor(c.updateScript.c_str(), kUpdateScriptDevicePath, 0, &slots[2], count);
}

PackageOutcome RunJob(const PackageChoices& c, RepackRequest& request, PackageFrontEnd& frontEnd) {
  // Beside the output: an output folder that takes no new files fails the
  // job here, as the move into it would, before anything is done.
  const PrivateWorkDir workDir(c.newPackage);
  if (!workDir.ok()) {
    Print("Error: Rename new file error.\r\n");
    frontEnd.ShowMessage(kTextRepackFailed, 0);
    return PackageOutcome::kFailed;
  }
  StageFiles(c, request, frontEnd);
  const int result = RunRepackJob(c.originalPackage.empty() ? nullptr : c.originalPackage.c_str(), request,
                                  c.newPackage.c_str());
  frontEnd.ShowMessage(result == 0 ? kTextRepackSuccess : kTextRepackFailed, 0);
  for (const char* name : {kDefaultScriptName, kUpdateFlagName, kJobLogName}) RemoveIfExists(name);
  return result == 0 ? PackageOutcome::kSucceeded : PackageOutcome::kFailed;
}

}  // namespace

PackageOutcome RunPackageFlow(const PackageChoices& choices, PackageFrontEnd& frontEnd) {
  ResetJobReport();
  const PackageChoices c = AbsoluteChoices(choices);
  if (TooLong(c.originalPackage) || TooLong(c.configFile) || TooLong(c.newPackage)) {
    frontEnd.ShowMessage(kTextPathTooLong, kMaxPathLength);
    return PackageOutcome::kRefused;
  }
  if (RequiredPathMissing(c)) {
    frontEnd.ShowMessage(kTextSelectFiles, 0);
    return PackageOutcome::kRefused;
  }
  if (AnyDescriptorTooLong(c)) {
    frontEnd.ShowMessage(kTextPathTooLong, kMaxPathLength);
    return PackageOutcome::kRefused;
  }
  RepackRequest request;
  if (c.originalPackage.empty()) {
    if (frontEnd.SelectProducts(request.productList) != 0) return PackageOutcome::kCancelled;
    if (request.productList[0] == '\0') {
      frontEnd.ShowMessage(kTextSelectProducts, 0);
      return PackageOutcome::kRefused;
    }
  }
  return RunJob(c, request, frontEnd);
}

}  // namespace quarnet
