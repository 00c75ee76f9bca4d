#include "package/job_log.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "package/output_file.h"

namespace quarnet {
namespace {

std::FILE* g_jobLog = nullptr;

// 32-bit fields are printed as signed "%d" next to their "0x%08x" form.
int Signed(std::uint32_t value) { return static_cast<int>(value); }

}  // namespace

std::FILE* OpenJobLog() {
  CloseJobLog();
  g_jobLog = OpenOutputFile(kJobLogName, "w").release();
  return g_jobLog;
}

void CloseJobLog() {
  if (g_jobLog == nullptr) return;
  std::fclose(g_jobLog);
  g_jobLog = nullptr;
}

void RemoveIfExists(const char* path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) std::filesystem::remove(path, ec);
}

void LogPackAllArgs(int count, const char* const* args) {
  if (g_jobLog == nullptr) return;
  std::fprintf(g_jobLog, "Make All package args:\r\n");
  for (int i = 0; i < count; ++i) {
    const char* arg = args != nullptr ? args[i] : nullptr;
    std::fprintf(g_jobLog, "arg%d : %s \r\n", i, arg != nullptr ? arg : "(null)");
  }
  std::fflush(g_jobLog);
}

void LogFileHeader(const PackageFileHeader& header, const char* productList) {
  if (g_jobLog == nullptr) return;
  std::FILE* f = g_jobLog;
  std::fprintf(f, "File Header  : \r\n");
  std::fprintf(f, "Mark         : %s \r\n", MarkText(header.mark).data());
  std::fprintf(f, "File Len     : 0x%08x (%d) \r\n", header.fileLen, Signed(header.fileLen));
  std::fprintf(f, "File CRC     : 0x%08x (%d) \r\n", header.fileCrc, Signed(header.fileCrc));
  std::fprintf(f, "Header Len   : 0x%08x (%d) \r\n", header.headerLen, Signed(header.headerLen));
  std::fprintf(f, "Item Num     : %d \r\n", Signed(header.itemNum));
  std::fprintf(f, "Pack Total   : %d \r\n", static_cast<int>(header.packTotal));
  std::fprintf(f, "Pack Num     : %d \r\n", static_cast<int>(header.packNum));
  const int externLen = header.externLen;
  const int itemInfoLen = header.itemInfoLen;
  std::fprintf(f, "Extern Len   : 0x%08x (%d) \r\n", static_cast<unsigned>(externLen), externLen);
  std::fprintf(f, "Item Info Len: 0x%08x (%d) \r\n", static_cast<unsigned>(itemInfoLen), itemInfoLen);
  std::fprintf(f, "Reserved     : 0x%08x (%d) \r\n", header.reserved, Signed(header.reserved));
  std::fprintf(f, "Extern File Header: \r\n");
  std::fprintf(f, "Product List : %s \r\n", productList != nullptr ? productList : "(null)");
  std::fflush(f);
}

void LogItemRecords(int count, const ItemRecord* table) {
  if (g_jobLog == nullptr) return;
  for (int i = 0; i < count && table != nullptr; ++i) {
    std::fprintf(g_jobLog, "Item %d:\r\n", i);
    LogItemRecord(table[i]);
  }
  std::fflush(g_jobLog);
}

void LogItemRecord(const ItemRecord& record) {
  if (g_jobLog == nullptr) return;
  std::FILE* f = g_jobLog;
  const std::string_view destination = GetText(record.destination);
  const std::string_view name = GetText(record.itemName);
  const std::string_view version = GetText(record.itemVersion);
  std::fprintf(f, "Index        : %d \r\n", Signed(record.index));
  std::fprintf(f, "Item CRC     : 0x%08x (%d) \r\n", record.itemCrc, Signed(record.itemCrc));
  std::fprintf(f, "Item Offset  : 0x%08x (%d) \r\n", record.itemOffset, Signed(record.itemOffset));
  std::fprintf(f, "Item Len     : 0x%08x (%d) \r\n", record.itemLen, Signed(record.itemLen));
  std::fprintf(f, "Destination  : %.*s \r\n", Width(destination), destination.data());
  std::fprintf(f, "Item Name    : %.*s \r\n", Width(name), name.data());
  std::fprintf(f, "Item Version : %.*s \r\n", Width(version), version.data());
  std::fprintf(f, "Item Policy  : %d \r\n", Signed(record.itemPolicy));
  std::fprintf(f, "Reserved     : 0x%08x \r\n", record.reserved);
  std::fflush(f);
}

}  // namespace quarnet
