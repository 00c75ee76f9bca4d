// One repack job: unpack the original package, rebuild, move into place.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "basic/naming.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"
#include "repack/move_file.h"
#include "repack/repack.h"

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

}  // namespace

int RunRepackJob(const char* originalPath, RepackRequest& request, const char* outputPath) {
  ItemNameTable itemNames{};
  ProductListBuffer packageProductList{};
  int itemCount = 0;

  if (originalPath != nullptr && !CheckOriginal(originalPath)) return -1;
  OpenJobLog();
  if (originalPath != nullptr) {
    Print("Start to un-pack full all package '%s' ...... ", originalPath);
    itemCount = UnpackPackage(originalPath, itemNames, packageProductList);
    if (itemCount <= 0) {
      Print("Error: No file un-packed.\r\n");
      return Fail();
    }
    Print("Done.\r\n");
    request.productList = packageProductList;
  }

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
  if (MoveReplacing(packageName.data(), output.c_str()) != 0) {
    Print("Error: Rename new file error.\r\n");
    return Fail();
  }
  RemoveExportedItems(itemCount, itemNames, output);
  Print("Make new package '%s' done.\r\n", output.c_str());
  CloseJobLog();
  return 0;
}

}  // namespace quarnet
