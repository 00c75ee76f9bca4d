// One repack job: unpack the original package, rebuild, move into place.
#include <sys/stat.h>

#include <cstring>
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

  Print("Start make new package with Normal file.....");
  if (MakePackagesWithXML(itemCount, itemNames, &request) != 0) {
    Print("Error: MakePackagesWithXML error.\r\n");
    return Fail();
  }
  Print("Done.\r\n");

  const std::string output = ChooseOutputPath(originalPath, outputPath);
  // The old file is only replaced by the move below, so a failed job keeps it.
  if (PathExists(output.c_str())) Print("Warring: \r\n'%s' is existed, and overwrite it!\r\n", output.c_str());

  PathBuffer packageName{};
  ExpectedPackageName(itemCount, itemNames, packageName);
  if (!PathExists(packageName.data())) {
    Print("Error: New package file not created.\r\n");
    return Fail();
  }
  if (MoveReplacing(packageName.data(), output.c_str()) != 0) {
    Print("Error: Rename new file error.\r\n");
    return Fail();
  }
  RemoveItemFiles(itemCount, itemNames);
  Print("Make new package '%s' done.\r\n", output.c_str());
  CloseJobLog();
  return 0;
}

}  // namespace quarnet
