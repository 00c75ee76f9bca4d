// Item descriptors and the staging files of a repack request.
#include <cerrno>
#include <string>

#include "package/job_control.h"
#include "package/output_file.h"
#include "repack/repack.h"

namespace quarnet {
namespace {

// Three lines, LF only, no terminating zero: 68 bytes.
constexpr char kDefaultScript[] =
    "# !/bin/sh\nrm -f /mnt/jffs2/qz_bms_prev.xml\nrm -f /mnt/jffs2/oldcrc\n";
static_assert(sizeof(kDefaultScript) - 1 == 68);

// Buffered bytes that cannot be written show up only here.
void Close(FilePtr file, const char* name) {
  if (std::fclose(file.release()) != 0) RecordSystemError("close", name, errno);
}

}  // namespace

int AddItemDescriptor(const char* localPath, const char* devicePath, int mode, PathBuffer* slot,
                      std::uint32_t& count) {
  if (localPath == nullptr || devicePath == nullptr || slot == nullptr) return -1;
  std::string text = std::string("-n") + localPath + "@" + devicePath;
  if (mode == 2) text += '&';
  SetText(*slot, text);
  ++count;
  return 0;
}

void WriteDefaultScript(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return;
  FilePtr file = OpenOutputFile(fileName, "w+b");
  if (!file) return;
  std::fwrite(kDefaultScript, 1, sizeof(kDefaultScript) - 1, file.get());
  Close(std::move(file), fileName);
}

void WriteUpdateFlag(int updateMode) {
  FilePtr file = OpenOutputFile("Updateflag", "w+b");
  if (!file) return;
  if (updateMode == 0 || updateMode == 1) std::fputc('0' + updateMode, file.get());
  std::fputc('\n', file.get());
  Close(std::move(file), "Updateflag");
}

}  // namespace quarnet
