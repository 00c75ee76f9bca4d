// Item heads and date stamps, directly and through PackAll's -H and -D.
#include "basic/item_head.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <optional>

#include "package/crc32.h"
#include "package/file_copy.h"
#include "package/format.h"
#include "tests/basic/packall_support.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

ItemHead HeadOf(const Bytes& file) {
  return DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize>(file.data(), kItemHeadSize));
}

// Sets the local time zone (null: the system's). Windows's C library reads
// TZ too, set through its own calls.
void SetTimeZone(const char* zone) {
#ifdef _WIN32
  _putenv_s("TZ", zone != nullptr ? zone : "");
  _tzset();
#else
  if (zone != nullptr) {
    setenv("TZ", zone, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
#endif
}

// Runs a test in a fresh folder with the local time zone set to `zone`.
class WithTimeZone : public InTempDir {
 protected:
  explicit WithTimeZone(const char* zone = "UTC") {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    SetTimeZone(zone);
  }
  ~WithTimeZone() override { SetTimeZone(previous_ ? previous_->c_str() : nullptr); }

 private:
  std::optional<std::string> previous_;
};

using ItemHeads = WithTimeZone;
using DateStamp = WithTimeZone;

TEST_F(ItemHeads, HeadFieldsAndPayload) {
  const Bytes payload = {1, 0, 2, 0, 3};
  WriteBytes("p", payload);
  for (std::uint32_t kind = 1; kind <= 4; ++kind) {
    ASSERT_EQ(WriteItemHead("p", "V100", 1368000000, kind, "h"), 0);
    const Bytes file = ReadBytes("h");
    ASSERT_EQ(file.size(), 84u + payload.size());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), BytesOf("zqzq"));
    const ItemHead head = HeadOf(file);
    EXPECT_EQ(GetText(head.headVersion), "V100");
    EXPECT_EQ(head.headTime, 1368000000u);
    EXPECT_EQ(head.headKind, kind);
    EXPECT_EQ(head.headDataLen, 5u);
    EXPECT_EQ(head.headDataCrc, Crc32Update(0, payload.data(), payload.size()));
    EXPECT_EQ(Bytes(file.begin() + 84, file.end()), payload);
  }
  EXPECT_EQ(ReadBytes("h"), WithItemHead("V100", 4, payload, 1368000000));
}

// The streamed head file is byte for byte the one written from memory
// before, across block boundaries, also when the payload is the head file.
TEST_F(ItemHeads, StreamedHeadFileBytes) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, kBlockSize - 84, kBlockSize + 1, 2 * kBlockSize}) {
    const Bytes payload = PatternBytes(size);
    WriteBytes("p", payload);
    ASSERT_EQ(WriteItemHead("p", "V7", 1368000000, 2, "h"), 0);
    const Bytes head = ReadBytes("h");
    EXPECT_EQ(head, WithItemHead("V7", 2, payload, 1368000000)) << size;
    ASSERT_EQ(WriteItemHead("h", "V8", 1368000001, 1, "h"), 0);
    EXPECT_EQ(ReadBytes("h"), WithItemHead("V8", 1, head, 1368000001)) << size;
  }
}

TEST_F(ItemHeads, EmptyPayloadLongVersionAndCurrentTime) {
  WriteText("empty", "");
  const auto before = static_cast<std::uint32_t>(std::time(nullptr));
  ASSERT_EQ(WriteItemHead("empty", Repeat(70, 'v').c_str(), 0, 3, "h"), 0);
  const auto after = static_cast<std::uint32_t>(std::time(nullptr));
  const Bytes file = ReadBytes("h");
  ASSERT_EQ(file.size(), 84u);
  const ItemHead head = HeadOf(file);
  EXPECT_EQ(GetText(head.headVersion), Repeat(63, 'v'));
  EXPECT_EQ(file[67], 0);
  EXPECT_EQ(head.headDataLen, 0u);
  EXPECT_EQ(head.headDataCrc, 0u);
  EXPECT_GE(head.headTime, before);
  EXPECT_LE(head.headTime, after);
  ASSERT_EQ(WriteItemHead("empty", nullptr, 0, 1, "h"), 0);
  EXPECT_EQ(GetText(HeadOf(ReadBytes("h")).headVersion), "");
}

TEST_F(ItemHeads, Failures) {
  WriteText("p", "payload");
  EXPECT_EQ(WriteItemHead(nullptr, "v", 0, 1, "h"), 1);
  EXPECT_EQ(WriteItemHead("p", "v", 0, 1, nullptr), 1);
  EXPECT_EQ(WriteItemHead("missing", "v", 0, 1, "h"), -1);
  EXPECT_FALSE(fs::exists("h"));
  EXPECT_NE(WriteItemHead("p", "v", 0, 1, "no/such/dir/h"), 0);
}

TEST_F(DateStamp, Texts) {
  struct Case {
    const char* text;
    std::uint32_t stamp;
  };
  const Case cases[] = {
      {"2013-05-20_14:30:00", 1369060200},
      {"2013_05_20:14-30-00", 1369060200},
      {"--2013--05-20__14:30:00::", 1369060200},
      {"2013-05-20_14:30:00_99_98", 1369060200},
      {"2013-05-20_14:30:00\n", 1369060200},
      {"2013-05-20", 1369008000},
      {"2013-05-20x_1y", 1369011600},
      {"2012-13-01", 1356998400},  // month 13 is January of the next year
      {"1970-01-01", 0},
      {"2106-02-07_06:28:15", 0xFFFFFFFF},
      {"2106-02-07_06:28:16", 0},  // the low 32 bits of 2^32
      {"3000-12-31_23:59:59", static_cast<std::uint32_t>(32535215999)},
      {"3001-01-01", 0xFFFFFFFF},
      {"1969-12-31_23:59:59", 0xFFFFFFFF},
      {"", 0xFFFFFFFF},  // year 0
      {"\n", 0xFFFFFFFF},
      {"2147483647-1-1", 0xFFFFFFFF},
      {"+2013-+05-20", 1369008000},
  };
  for (const Case& c : cases) {
    std::uint32_t stamp = 7;
    EXPECT_EQ(ParseDateStamp(c.text, &stamp), 0) << c.text;
    EXPECT_EQ(stamp, c.stamp) << c.text;
  }
  std::uint32_t stamp = 7;
  EXPECT_EQ(ParseDateStamp(nullptr, &stamp), 1);
  EXPECT_EQ(stamp, 7u);
  EXPECT_EQ(ParseDateStamp("2013", nullptr), 1);
}

TEST_F(DateStamp, OnlyThirtyOneCharactersCount) {
  // Only the first 31 characters are read: the last digit of the seconds
  // falls outside.
  std::uint32_t stamp = 0;
  ASSERT_EQ(ParseDateStamp("2013-05-20_14:30:000000000000017", &stamp), 0);
  EXPECT_EQ(stamp, 1369060200u + 1);
}

class DateStampSummerTime : public WithTimeZone {
 protected:
  DateStampSummerTime() : WithTimeZone("CET-1CEST,M3.5.0,M10.5.0/3") {}
};

TEST_F(DateStampSummerTime, DatesAreTakenAsStandardTime) {
  std::uint32_t stamp = 0;
  ASSERT_EQ(ParseDateStamp("2013-05-20_14:30:00", &stamp), 0);
  EXPECT_EQ(stamp, 1369060200u - 3600);
}

TEST_F(DateStamp, DateAndVersionFilesFeedTheHeads) {
  WriteText("k", "kernel");
  struct Case {
    std::string date;
    std::string version;
    std::uint32_t stamp;
    std::string readVersion;
  };
  const Case cases[] = {
      {"2013-05-20_14:30:00\r\n", "V1\n", 1369060200, "V1"},
      {"2013-05-20\n2014-01-01\n", "V1\r\nV2\r\n", 1369008000, "V1"},
      {"\n", Repeat(70, 'x') + "\n", 0xFFFFFFFF, Repeat(63, 'x')},
      {"", "", 0xFFFFFFFF, ""},
      {"2013-05-20", "V1\rV2\n", 1369008000, "V1\rV2"},
  };
  const std::string dateFile = Repeat(255, 'D');  // the longest accepted path
  for (const Case& c : cases) {
    WriteText(dateFile, c.date);
    WriteText("version", c.version);
    ASSERT_EQ(RunPackAll({"-H", "-Kk", "-D" + dateFile, "-Vversion"}).output, "");
    const ItemHead head = HeadOf(ReadBytes("kernel[Head].bin"));
    EXPECT_EQ(head.headTime, c.stamp) << c.date;
    EXPECT_EQ(GetText(head.headVersion), c.readVersion) << c.version;
    EXPECT_EQ(GetText(DecodePackageFile("package[K].bin").items[0].record.itemVersion), c.readVersion);
  }
}

TEST_F(DateStamp, UnreadableFilesLeaveTheValuesEmpty) {
  WriteText("k", "kernel");
  WriteText("version", "from-file\n");
  fs::create_directory("folder");
  for (const char* file : {"missing", "folder"}) {
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    ASSERT_EQ(RunPackAll({"-H", "-Kk", std::string("-D") + file, std::string("-V") + file}).output, "");
    const auto after = static_cast<std::uint32_t>(std::time(nullptr));
    const ItemHead head = HeadOf(ReadBytes("kernel[Head].bin"));
    EXPECT_GE(head.headTime, before) << file;
    EXPECT_LE(head.headTime, after) << file;
    EXPECT_EQ(GetText(head.headVersion), "") << file;
  }
  // A version given with -v wins over the version file.
  ASSERT_EQ(RunPackAll({"-Kk", "-Vversion", "-vgiven"}).output, "");
  EXPECT_EQ(GetText(DecodePackageFile("package[K].bin").items[0].record.itemVersion), "given");
}

}  // namespace
}  // namespace quarnet::test
