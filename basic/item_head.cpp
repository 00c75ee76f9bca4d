#include "basic/item_head.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

#include "basic/naming.h"
#include "basic/util.h"
#include "package/crc32.h"
#include "package/format.h"

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

}  // namespace

int WriteItemHead(const char* payloadPath, const char* version, std::uint32_t timeStamp,
                  std::uint32_t itemType, const char* headPath) {
  if (payloadPath == nullptr || headPath == nullptr) return 1;
  std::uint64_t size = 0;
  if (const int result = ReadFileSize(payloadPath, size); result != 0) return result;
  if (size > UINT32_MAX - kItemHeadSize) return 1;  // Head Data Len is 32 bits
  const std::size_t total = kItemHeadSize + static_cast<std::size_t>(size);
  const auto image = AllocateBytes(total);
  if (!image) return 1;
  std::uint8_t* payload = image.get() + kItemHeadSize;
  {
    const FilePtr in = OpenInputFile(payloadPath);
    if (!in || std::fread(payload, 1, total - kItemHeadSize, in.get()) != total - kItemHeadSize) return 1;
  }

  ItemHead head;
  head.headMark = kHeadMark;
  head.headDataLen = static_cast<std::uint32_t>(size);
  head.headKind = itemType;
  head.headTime = static_cast<std::uint32_t>(std::time(nullptr));
  if (version != nullptr) SetText(head.headVersion, version);
  if (timeStamp != 0) head.headTime = timeStamp;
  head.headDataCrc = Crc32Update(0, payload, total - kItemHeadSize);
  Encode(head, std::span<std::uint8_t, kItemHeadSize>(image.get(), kItemHeadSize));

  FilePtr out = OpenFile(headPath, "w+b");
  if (!out) return 1;
  const bool written = std::fwrite(image.get(), 1, total, out.get()) == total;
  return CloseFile(std::move(out)) && written ? 0 : 1;
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
