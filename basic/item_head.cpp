#include "basic/item_head.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "basic/util.h"
#include "package/file_copy.h"
#include "package/format.h"
#include "package/job_control.h"

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
bool StreamPayload(InputFile& in, OutputFile* out, std::uint64_t size, std::uint32_t& crc) {
  crc = 0;
  if (CopyFileBytes(in, 0, out, size, &crc) == size) return true;
  SetFailureReason("read " + in.name() + ": shorter than its size");
  return false;
}

}  // namespace

// The payload is read twice through one block: once for its CRC, and once
// to write it behind the head. The head file is staged, so it may replace
// the payload itself.
int WriteItemHead(const char* payloadPath, const char* version, std::uint32_t timeStamp,
                  std::uint32_t itemType, const char* headPath) {
  if (payloadPath == nullptr || headPath == nullptr) return 1;
  InputFile payload;
  if (!payload.Open(payloadPath)) return -1;
  std::uint64_t size = 0;
  if (!payload.Size(size)) return 1;
  if (size > UINT32_MAX - kItemHeadSize) {  // Head Data Len is 32 bits
    SetFailureReason(std::string(payloadPath) + ": too large for an item head");
    return 1;
  }
  std::uint32_t crc = 0;
  if (!StreamPayload(payload, nullptr, size, crc)) return 1;
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
  OutputFile out(JobWork());
  if (!out.Create(headPath) || !out.Write(image)) return 1;
  std::uint32_t again = 0;
  if (!StreamPayload(payload, &out, size, again)) return 1;
  if (again != crc) {
    SetFailureReason(std::string(payloadPath) + ": changed while the head file was written");
    return 1;
  }
  // Released before the head file takes its name, which may be the
  // payload's: Windows replaces a file only when no one holds it open.
  payload.Close();
  return out.Commit() ? 0 : 1;
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
