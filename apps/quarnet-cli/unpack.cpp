// quarnet-cli unpack: the reader on its own, in a directory of the user's
// choice.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/job_console.h"
#include "package/inspect.h"
#include "package/job_log.h"
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
  std::fprintf(stderr, "quarnet-cli unpack: %s\n\n%s", message.c_str(), kUsage);
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

  // A relative package path names a file in the starting directory.
  std::filesystem::path packagePath = package;
  std::error_code ec;
  if (dir != nullptr) {
    if (packagePath.is_relative()) packagePath = std::filesystem::current_path(ec) / packagePath;
    if (!std::filesystem::is_directory(dir, ec)) return UsageError(std::string(dir) + " is not a directory");
    std::filesystem::current_path(dir, ec);
    if (ec) return UsageError("cannot enter " + std::string(dir) + ": " + ec.message());
  }

  // The job log is created before the package is read: a package that is
  // the job log itself would be emptied.
  if (std::filesystem::equivalent(packagePath, kJobLogName, ec))
    return UsageError(std::string(package) + " is the job log " + kJobLogName + "; rename it first");

  ItemNameTable names{};
  ProductListBuffer productList{};
  ResetCancel();
  ResetJobReport();
  ProgressDisplay progress(showProgress);
  // The reader advances by the bytes it reads, so the package's size is the whole.
  const std::uintmax_t size = std::filesystem::file_size(packagePath, ec);
  if (showProgress && !ec) BeginProgress(size);
  OpenJobLog();
  const int result = UnpackPackage(packagePath.c_str(), names, productList);
  CloseJobLog();
  progress.Finish(result > 0);
  PrintSummary(result, package, names, productList);
  if (result > 0) return 0;
  PrintFailureReason();
  return 1;
}

}  // namespace quarnet::cli
