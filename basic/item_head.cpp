#include "basic/item_head.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "basic/naming.h"
#include "basic/util.h"
#include "package/file_copy.h"
#include "package/format.h"
#include "package/job_control.h"
#include "package/output_file.h"

namespace quarnet {
namespace {

constexpr std::uint32_t kRejectedDate = 0xFFFFFFFF;
// The make-time conversion of the format's home platform accepts
// 1970-01-01 00:00:00 UTC to 3000-12-31 23:59:59 UTC and returns -1 for
// anything else; glibc's would accept earlier dates, so the range is
// checked here to keep time stamps identical.
static_assert(sizeof(std::time_t) >= 8);
constexpr std::time_t kLastAcceptedTime = 32535215999;

// Splits the NUL-terminated `text` in place at "-", "_" and ":" (runs of
// them count as one) and converts the first fields; missing fields stay 0.
void ReadDateFields(char* text, std::span<int, 6> fields) {
  const auto isSeparator = [](char c) { return c == '-' || c == '_' || c == ':'; };
  for (int& field : fields) {
    while (isSeparator(*text)) ++text;
    if (*text == '\0') return;
    char* end = text;
    while (*end != '\0' && !isSeparator(*end)) ++end;
    const bool last = *end == '\0';
    *end = '\0';
    field = ToInt(text);
    if (last) return;
    text = end + 1;
  }
}

// Local standard time of year, month, day, hour, minute and second, or
// kRejectedDate. The fields are never negative: "-" separates them.
std::uint32_t MakeTime(std::span<const int, 6> f) {
  std::tm tm{};
  tm.tm_year = f[0] - 1900;
  tm.tm_mon = f[1] - 1;
  tm.tm_mday = f[2];
  tm.tm_hour = f[3];
  tm.tm_min = f[4];
  tm.tm_sec = f[5];
  tm.tm_isdst = 0;
  const std::time_t t = std::mktime(&tm);
  if (t < 0 || t > kLastAcceptedTime) return kRejectedDate;
  return static_cast<std::uint32_t>(t);
}

// Streams the first `size` bytes of `in` to `out` (dropped when `out` is
// null) and takes their CRC; false unless all of them came.
bool StreamPayload(std::FILE* in, const char* inName, std::FILE* out, const std::string& outName,
                   std::uint64_t size, std::uint32_t& crc) {
  crc = 0;
  StreamSource source(in, inName);
  WriteSink sink(out, outName, size);
  if (!sink.ok()) RecordSystemError("copy", inName, ENOMEM);
  if (sink.ok() && CopyBlocks(source, sink, size, &crc).complete) return true;
  SetFailureReason(std::string("read ") + inName + ": shorter than its size");
  return false;
}

}  // namespace

// The payload is read twice through one block: once for its CRC, before the
// head file is opened, and once to write it behind the head. When the head
// file is the payload itself, the first pass keeps a copy to write from.
int WriteItemHead(const char* payloadPath, const char* version, std::uint32_t timeStamp,
                  std::uint32_t itemType, const char* headPath) {
  if (payloadPath == nullptr || headPath == nullptr) return 1;
  std::uint64_t size = 0;
  if (const int result = ReadFileSize(payloadPath, size); result != 0) return result;
  if (size > UINT32_MAX - kItemHeadSize) {  // Head Data Len is 32 bits
    SetFailureReason(std::string(payloadPath) + ": too large for an item head");
    return 1;
  }
  FilePtr payload = OpenInputFile(payloadPath);
  if (!payload) return 1;
  std::setvbuf(payload.get(), nullptr, _IONBF, 0);
  std::error_code ec;
  FilePtr copy;
  if (std::filesystem::equivalent(payloadPath, headPath, ec)) {
    copy.reset(std::tmpfile());
    if (!copy) {
      RecordSystemError("open", std::string("a temporary copy of ") + payloadPath, errno);
      return 1;
    }
  }
  std::uint32_t crc = 0;
  if (!StreamPayload(payload.get(), payloadPath, copy.get(), "a temporary copy", size, crc)) return 1;
  if (copy) payload = std::move(copy);
  if (std::fseek(payload.get(), 0, SEEK_SET) != 0) {
    RecordSystemError("seek", payloadPath, errno);
    return 1;
  }

  ItemHead head;
  head.headMark = kHeadMark;
  head.headDataLen = static_cast<std::uint32_t>(size);
  head.headKind = itemType;
  head.headTime = static_cast<std::uint32_t>(std::time(nullptr));
  if (version != nullptr) SetText(head.headVersion, version);
  if (timeStamp != 0) head.headTime = timeStamp;
  head.headDataCrc = crc;
  std::array<std::uint8_t, kItemHeadSize> image{};
  Encode(head, image);

  FilePtr out = OpenOutputFile(headPath, "w+b");
  if (!out) return 1;
  bool written = std::fwrite(image.data(), 1, image.size(), out.get()) == image.size();
  if (!written) RecordSystemError("write", headPath, errno);
  std::uint32_t again = 0;
  written = written && StreamPayload(payload.get(), payloadPath, out.get(), headPath, size, again);
  if (written && again != crc) {
    SetFailureReason(std::string(payloadPath) + ": changed while the head file was written");
    written = false;
  }
  return CloseFile(std::move(out), headPath) && written ? 0 : 1;
}

int ParseDateStamp(const char* text, std::uint32_t* result) {
  if (text == nullptr || result == nullptr) return 1;
  std::array<char, 32> copy{};
  SetText(copy, text);
  std::array<int, 6> fields{};
  ReadDateFields(copy.data(), fields);
  *result = MakeTime(fields);
  return 0;
}

}  // namespace quarnet
