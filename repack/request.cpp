// Item descriptors and the staging files of a repack request.
#include <string>

#include "package/file.h"
#include "repack/repack.h"

namespace quarnet {
namespace {

// Three lines, LF only, no terminating zero: 68 bytes.
constexpr char kDefaultScript[] =
    "# !/bin/sh\nrm -f /mnt/jffs2/qz_bms_prev.xml\nrm -f /mnt/jffs2/oldcrc\n";
static_assert(sizeof(kDefaultScript) - 1 == 68);

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
  FilePtr file = OpenFile(fileName, "w+b");
  if (!file) return;
  std::fwrite(kDefaultScript, 1, sizeof(kDefaultScript) - 1, file.get());
}

void WriteUpdateFlag(int updateMode) {
  FilePtr file = OpenFile("Updateflag", "w+b");
  if (!file) return;
  if (updateMode == 0 || updateMode == 1) std::fputc('0' + updateMode, file.get());
  std::fputc('\n', file.get());
}

}  // namespace quarnet
