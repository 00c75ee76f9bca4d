// quarnet-cli unpack: the reader on its own, in a directory of the user's
// choice.
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/job_console.h"
#include "package/display_text.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"

namespace quarnet::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quarnet-cli unpack PKG [-C DIR] [--progress]\n"
    "\n"
    "Exports every item of the package PKG except EFS into a file named after\n"
    "the item with \".bin\" appended, in DIR (which must exist) or the current\n"
    "directory, and leaves the job log pack_xml.log there. A relative PKG is\n"
    "taken from the current directory. The reader's lines go to standard\n"
    "output, a short summary to standard error, followed by \"reason: ...\"\n"
    "when the package could not be unpacked. --progress shows the percentage\n"
    "done on standard error.\n"
    "\n"
    "Exit status: 0 when at least one item was exported, 1 when the package\n"
    "could not be unpacked, 2 on a usage error.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quarnet-cli unpack: %s\n\n%s", DisplayText(message).c_str(), kUsage);
  return kExitUsage;
}

void PrintSummary(int result, const std::string& package, const ItemNameTable& names,
                  const ProductListBuffer& productList) {
  const std::string shownPackage = DisplayText(package);
  if (result < 0) {
    std::fprintf(stderr, "quarnet-cli unpack: %s is not a readable package\n", shownPackage.c_str());
    return;
  }
  if (result == 0) {
    std::fprintf(stderr, "quarnet-cli unpack: no item exported from %s\n", shownPackage.c_str());
    return;
  }
  std::string files;
  for (int i = 0; i < result; ++i) {
    files.append(" ").append(DisplayText(GetText(names[static_cast<std::size_t>(i)]))).append(".bin");
  }
  std::fprintf(stderr, "quarnet-cli unpack: %d item%s exported:%s\n", result, result == 1 ? "" : "s", files.c_str());
  const std::string_view products = GetText(productList);
  if (!products.empty()) std::fprintf(stderr, "product list: %s\n", DisplayText(products).c_str());
}

}  // namespace

int Unpack(int argc, char** argv) {
  const char* package = nullptr;
  const char* dir = nullptr;
  bool showProgress = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--progress") {
      showProgress = true;
    } else if (arg == "-C") {
      if (i + 1 == argc) return UsageError("-C needs a directory");
      dir = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + std::string(arg));
    } else if (package == nullptr) {
      package = argv[i];
    } else {
      return UsageError("only one package can be unpacked at a time");
    }
  }
  if (package == nullptr) return UsageError("no package given");

  // A relative package path names a file in the starting folder; the items
  // go to DIR.
  ResetCancel();
  ResetJobReport();
  os::Folder target;
  if (dir != nullptr) {
    const os::Error error = os::OpenFolder(os::Folder(), dir, target);
    if (error == ENOENT || error == ENOTDIR) return UsageError(std::string(dir) + " is not a directory");
    if (error != 0) {
      RecordSystemError("open", dir, error);
      PrintFailureReason();
      return 1;
    }
  }
  const os::ScopedWorkingFolder working(target);

  ItemNameTable names{};
  ProductListBuffer productList{};
  InputFile file;
  bool same = false;
  if (file.Open(os::Folder(), package)) os::IsSameFile(file.file(), target, kJobLogName, same);
  // The job log would replace the package it is read from.
  if (same) return UsageError(std::string(package) + " is the job log " + kJobLogName + "; rename it first");

  ProgressDisplay progress(showProgress);
  int result = -1;
  {
    const StopSignals stopSignals;
    // The reader advances by the bytes it reads, so the package's size is the whole.
    std::uint64_t size = 0;
    if (showProgress && file.IsOpen() && file.Size(size)) BeginProgress(size);
    OpenJobLog();
    if (file.IsOpen()) {
      result = UnpackPackage(file, names, productList);
    } else {
      Print("Open file %s error.\r\n", DisplayText(package).c_str());
    }
    CloseJobLog();
  }
  progress.Finish(result > 0);
  PrintSummary(result, package, names, productList);
  PrintWarnings();
  if (result > 0) return 0;
  PrintFailureReason();
  return FailedJobStatus();
}

}  // namespace quarnet::cli
