// Turns the exported items and a repack request into a builder argument
// vector and runs the builder in-process.
#include <cstring>
#include <string>
#include <vector>

#include "basic/packall.h"
#include "package/display_text.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"
#include "repack/repack.h"

namespace quarnet {
namespace {

// Entry 0, the item options, "-v", the descriptors and "-L" must fit the
// builder's 17-entry vector: items + descriptors may not exceed 14.
constexpr int kMaxItemsPlusDescriptors = 14;

// Head Version of "<name>.bin" into `version`; left alone when unreadable.
void ReadVersionOf(std::string_view name, PathBuffer& version) {
  const std::string file = std::string(name) + ".bin";
  ReadItemHeadVersion(file.c_str(), std::span<char, kVersionSize>(version.data(), kVersionSize));
}

}  // namespace

int MakePackagesWithXML(int itemCount, const ItemNameTable& itemNames, const RepackRequest* request) {
  if (request == nullptr) {
    Print("input para err!\r\n");
    return -1;
  }
  const std::uint32_t descriptorCount = request->descriptorCount;
  if (descriptorCount > static_cast<std::uint32_t>(kMaxRequestDescriptors) ||
      (itemCount > 0 && itemCount + static_cast<int>(descriptorCount) > kMaxItemsPlusDescriptors)) {
    Print("invalide file number!\r\n");
    return -1;
  }

  std::vector<std::string> args;  // entries 1 .. n-1; entry 0 stays null
  PathBuffer kernelVersion{};
  PathBuffer rootfsVersion{};
  int optionCount = 0;
  for (int i = 0; i < itemCount; ++i) {
    const std::string_view name = GetText(itemNames[i]);
    const char option = item::Find(name).option;
    if (option == '\0') {
      Print("Unknow package name. [%d] %s \r\n", i, DisplayText(name).c_str());
      return -1;
    }
    if (name == item::kKernel) ReadVersionOf(name, kernelVersion);
    if (name == item::kRootfs) ReadVersionOf(name, rootfsVersion);
    std::string text = {'-', option};
    text.append(name).append(".bin");
    args.push_back(std::move(text));
    ++optionCount;
  }
  if (itemCount != optionCount) {
    Print("create package arg Error! Items %d, arg %d. \r\n", itemCount, optionCount);
    return -1;
  }
  if (GetText(kernelVersion) != GetText(rootfsVersion)) {
    SetFailureFinding(Finding::kVersionsDiffer,
                      {std::string(GetText(kernelVersion)), std::string(GetText(rootfsVersion))},
                      FailureKind::kDamagedOriginal);
    Print("Version Error. V1=%s V2=%s\r\n", DisplayText(GetText(kernelVersion)).c_str(),
          DisplayText(GetText(rootfsVersion)).c_str());
    return -1;
  }
  args.push_back(std::string("-v").append(GetText(kernelVersion)));
  for (std::uint32_t k = 0; k < descriptorCount; ++k) args.emplace_back(GetText(request->descriptors[k]));
  if (request->productList[0] != '\0') args.push_back(std::string("-L").append(GetText(request->productList)));

  std::vector<const char*> argv{nullptr};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const int argc = static_cast<int>(argv.size());
  LogPackAllArgs(argc, argv.data());
  const int result = PackAll(argc, argv.data());
  if (result != 0) {
    Print("PackAll Error!\r\n");
    return result;
  }
  return 0;
}

}  // namespace quarnet
