#include "package/job_log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "package/files.h"
#include "package/job.h"
#include "package/output.h"

namespace quarnet {
namespace {


// 32-bit fields are printed as signed "%d" next to their "0x%08x" form.
int Signed(std::uint32_t value) { return static_cast<int>(value); }

void Add(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Add(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  CurrentJob().Log().block += FormatText(format, args);
  va_end(args);
}

bool IsOpen() { return CurrentJob().Log().file != nullptr; }

// Writes the block; a log that fails is dropped with a warning.
void EndBlock() {
  JobLogState& log = CurrentJob().Log();
  if (log.file && !log.file->Write(log.block)) log.file.reset();
  log.block.clear();
}

// One record's lines into the block.
void AddItemRecord(const ItemRecord& record) {
  const std::string_view destination = GetText(record.destination);
  const std::string_view name = GetText(record.itemName);
  const std::string_view version = GetText(record.itemVersion);
  Add("Index        : %d \r\n", Signed(record.index));
  Add("Item CRC     : 0x%08x (%d) \r\n", record.itemCrc, Signed(record.itemCrc));
  Add("Item Offset  : 0x%08x (%d) \r\n", record.itemOffset, Signed(record.itemOffset));
  Add("Item Len     : 0x%08x (%d) \r\n", record.itemLen, Signed(record.itemLen));
  Add("Destination  : %.*s \r\n", Width(destination), destination.data());
  Add("Item Name    : %.*s \r\n", Width(name), name.data());
  Add("Item Version : %.*s \r\n", Width(version), version.data());
  Add("Item Policy  : %d \r\n", Signed(record.itemPolicy));
  Add("Reserved     : 0x%08x \r\n", record.reserved);
}

}  // namespace

bool OpenJobLog() {
  CloseJobLog();
  auto log = std::make_unique<OutputFile>(JobWork(), OutputFile::Failures::kWarn);
  if (!log->Create(kJobLogName)) return false;
  CurrentJob().Log().file = std::move(log);
  return true;
}

void CloseJobLog() {
  JobLogState& log = CurrentJob().Log();
  if (log.file) log.file->Commit();
  log.file.reset();
}

void LogPackAllArgs(int count, const char* const* args) {
  if (!IsOpen()) return;
  Add("Make All package args:\r\n");
  for (int i = 0; i < count; ++i) {
    const char* arg = args != nullptr ? args[i] : nullptr;
    Add("arg%d : %s \r\n", i, arg != nullptr ? arg : "(null)");
  }
  EndBlock();
}

void LogFileHeader(const PackageFileHeader& header, const char* productList) {
  if (!IsOpen()) return;
  Add("File Header  : \r\n");
  Add("Mark         : %s \r\n", MarkText(header.mark).data());
  Add("File Len     : 0x%08x (%d) \r\n", header.fileLen, Signed(header.fileLen));
  Add("File CRC     : 0x%08x (%d) \r\n", header.fileCrc, Signed(header.fileCrc));
  Add("Header Len   : 0x%08x (%d) \r\n", header.headerLen, Signed(header.headerLen));
  Add("Item Num     : %d \r\n", Signed(header.itemNum));
  Add("Pack Total   : %d \r\n", static_cast<int>(header.packTotal));
  Add("Pack Num     : %d \r\n", static_cast<int>(header.packNum));
  const int externLen = header.externLen;
  const int itemInfoLen = header.itemInfoLen;
  Add("Extern Len   : 0x%08x (%d) \r\n", static_cast<unsigned>(externLen), externLen);
  Add("Item Info Len: 0x%08x (%d) \r\n", static_cast<unsigned>(itemInfoLen), itemInfoLen);
  Add("Reserved     : 0x%08x (%d) \r\n", header.reserved, Signed(header.reserved));
  Add("Extern File Header: \r\n");
  Add("Product List : %s \r\n", productList != nullptr ? productList : "(null)");
  EndBlock();
}

void LogItemRecords(int count, const ItemRecord* table) {
  if (!IsOpen()) return;
  for (int i = 0; i < count && table != nullptr; ++i) {
    Add("Item %d:\r\n", i);
    AddItemRecord(table[i]);
  }
  EndBlock();
}

void LogItemRecord(const ItemRecord& record) {
  if (!IsOpen()) return;
  AddItemRecord(record);
  EndBlock();
}

}  // namespace quarnet
