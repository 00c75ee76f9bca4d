// Item descriptors and the staging files of a repack request.
#include <string>
#include <string_view>

#include "package/files.h"
#include "repack/repack.h"

namespace quarnet {
namespace {

// Three lines, LF only, no terminating zero: 68 bytes.
constexpr char kDefaultScript[] =
    "# !/bin/sh\nrm -f /mnt/jffs2/qz_bms_prev.xml\nrm -f /mnt/jffs2/oldcrc\n";
static_assert(sizeof(kDefaultScript) - 1 == 68);

// A staging file with exactly `content`; false with the reason recorded.
int WriteStagingFile(const char* name, std::string_view content) {
  OutputFile file(JobWork());
  return file.Create(name) && file.Write(content) && file.Commit() ? 0 : -1;
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

std::string_view DefaultScriptContent() { return {kDefaultScript, sizeof(kDefaultScript) - 1}; }

std::string UpdateFlagContent(int updateMode) {
  std::string content;
  if (updateMode == 0 || updateMode == 1) content += static_cast<char>('0' + updateMode);
  return content + '\n';
}

int WriteDefaultScript(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return -1;
  return WriteStagingFile(fileName, DefaultScriptContent());
}

int WriteUpdateFlag(int updateMode) { return WriteStagingFile(kUpdateFlagName, UpdateFlagContent(updateMode)); }

}  // namespace quarnet
