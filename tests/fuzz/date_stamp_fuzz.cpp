// Fuzz target: ParseDateStamp over arbitrary text, in UTC. The result is
// compared with a calendar computation of its own: the first six fields
// (split at "-", "_" and ":", at most 31 characters read) as year, month,
// day, hour, minute and second, normalised the way the make-time conversion
// does, and 0xFFFFFFFF outside 1970-01-01 00:00:00 .. 3000-12-31 23:59:59.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "basic/item_head.h"
#include "tests/fuzz/fuzz_support.h"

namespace quarnet::fuzz {
namespace {

constexpr std::int64_t kLastAccepted = 32535215999;  // 3000-12-31 23:59:59 UTC
constexpr std::size_t kTextLimit = 31;

bool IsSeparator(char c) { return c == '-' || c == '_' || c == ':'; }
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading blanks, an optional "+", digits; saturates at INT32_MAX. A "-"
// never reaches a field: it separates fields.
std::int64_t FieldValue(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() && IsBlank(field[i])) ++i;
  if (i < field.size() && field[i] == '+') ++i;
  std::int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (field[i] - '0'), INT32_MAX);
  }
  return value;
}

std::vector<std::int64_t> Fields(const std::string& text) {
  std::vector<std::int64_t> fields;
  std::string field;
  for (const char c : text + '-') {
    if (!IsSeparator(c)) {
      field += c;
    } else if (!field.empty()) {
      fields.push_back(FieldValue(field));
      field.clear();
    }
  }
  fields.resize(6, 0);
  return fields;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// Days from 1970-01-01 to the first of `month` (1 .. 12) of `year`.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month) {
  year -= month <= 2;
  const std::int64_t era = FloorDiv(year, 400);
  const std::int64_t yoe = year - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::uint32_t Expected(const std::string& text) {
  const std::vector<std::int64_t> f = Fields(text.substr(0, kTextLimit));
  const std::int64_t months = f[0] * 12 + (f[1] - 1);
  const std::int64_t year = FloorDiv(months, 12);
  const std::int64_t month = months - year * 12 + 1;
  const std::int64_t days = DaysFromCivil(year, month) + f[2] - 1;
  const std::int64_t seconds = days * 86400 + f[3] * 3600 + f[4] * 60 + f[5];
  if (seconds < 0 || seconds > kLastAccepted) return 0xFFFFFFFF;
  return static_cast<std::uint32_t>(seconds);
}

}  // namespace
}  // namespace quarnet::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarnet::fuzz;
  // The text ends at its first NUL, as a C string does.
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::min(text.size(), text.find('\0')));
  // An exact-size copy, so that a read past the terminator is caught.
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  std::uint32_t stamp = 0;
  if (quarnet::ParseDateStamp(copy.data(), &stamp) != 0) Fail("ParseDateStamp refused a text");
  const std::uint32_t expected = Expected(text);
  if (stamp != expected) Fail("'%s' gave %u, expected %u", text.c_str(), stamp, expected);
  if (quarnet::ParseDateStamp(nullptr, &stamp) != 1 || quarnet::ParseDateStamp(copy.data(), nullptr) != 1)
    Fail("a missing argument was not refused");
  return 0;
}
