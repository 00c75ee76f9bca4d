// The checks of the chosen files, each finding as quarnet-cli words it.
#include "repack/input_check.h"

#include <gtest/gtest.h>

#include "tests/support/pack_builder.h"
#include "tests/support/temp_dir.h"
#include "ui/strings.h"

namespace quarnet::test {
namespace {

std::string English(int id) { return std::string(LoadResString(EnglishTwinId(id))); }

// The English finding of the check of `bytes` as `role`, after the file's
// role and path; or "pass".
std::string Finding(FileRole role, const std::string& bytes) {
  WriteText("f", bytes);
  const std::optional<FileCheck> check = CheckChosenFile(os::Folder(), "f", role);
  if (!check || check->problem == CheckProblem::kNone) return check ? "pass" : "not opened";
  const std::string line = DescribeCheck(*check, English);
  return line.substr(line.find(": ") + 2);
}

// An expected finding that begins with "..." is matched by its end.
bool Matches(const std::string& found, const std::string& expected) {
  return expected.starts_with("...") ? found.ends_with(expected.substr(3)) : found == expected;
}

using CheckTest = InTempDir;

TEST_F(CheckTest, ConfigFiles) {
  std::string nested;
  while (nested.size() < 3'000'000) nested += "<a>";
  const struct {
    std::string bytes;
    std::string found;
  } rows[] = {
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<config a=\"1\"><b/></config>\r\n", "pass"},
      {"\xEF\xBB\xBF \r\n\t<?xml version=\"1.0\"?>\n<config/>\n",
       "line 2, column 2: the XML is not well-formed (XML or text declaration not at start of entity)"},
      {"<config>\n  <a>\n  </b>\n</config>\n", "line 3, column 5: the XML is not well-formed (mismatched tag)"},
      {"<config>\n  <a>", "line 2, column 6: the XML is not well-formed (no element found)"},
      {"<a>&undeclared;</a>", "line 1, column 4: the XML is not well-formed (undefined entity)"},
      {"<a>\x1b]0;title\a</a>", "line 1, column 4: the XML is not well-formed (not well-formed (invalid token))"},
      {"\x93\x1f\xa7<config/>", "not checked, it does not look like XML (it may be encrypted)"},
      {"", "not checked, it does not look like XML (it may be encrypted)"},
      {"<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>",
       "not checked, the XML parser does not know its encoding GB2312"},
      // Nesting without end stops at the parse's memory budget.
      {nested, "...: checking it needs more than 64 MiB of memory"},
  };
  for (const auto& row : rows) EXPECT_PRED2(Matches, Finding(FileRole::kConfigFile, row.bytes), row.found);
}

TEST_F(CheckTest, Packs) {
  const std::string tar = TarArchive({{"etc/", '5', ""}, {"etc/a.xml", '0', "<a/>"}, {"b", '0', std::string(600, 'b')}});
  const std::string pack = Gzip(tar);
  std::string misnamed = tar;
  misnamed[0] = 'E';  // the first header's checksum no longer agrees
  std::string damaged = pack;
  damaged[damaged.size() - 8] ^= 0x55;  // the CRC of the unpacked data
  const struct {
    std::string bytes;
    std::string found;
  } rows[] = {
      {pack, "pass"},
      {pack + Gzip(TarArchive({{"c", '0', "c"}})), "pass"},  // two gzip members, as gunzip takes them
      {"pack", "not a gzip file"},
      {"", "not a gzip file"},
      {pack.substr(0, pack.size() - 9), "the compressed data is cut short at byte " + std::to_string(pack.size() - 9)},
      {damaged, "the compressed data is damaged near byte " + std::to_string(pack.size() - 4) + " (incorrect data check)"},
      {pack + "junk", "...(incorrect header check)"},
      {Gzip("plain text, no tar"), "the unpacked data is not a tar archive at byte 0"},
      {Gzip(misnamed), "the unpacked data is not a tar archive at byte 0"},
      {Gzip(tar.substr(0, 1100)), "the tar archive is cut short in member 2"},
      {Gzip(tar.substr(0, 1600)), "the tar archive is cut short in member 3"},
      {Gzip(TarArchive({{"a", '0', "a"}, {"../x", '0', "x"}})), "member 2 \"../x\" has \"..\" in its path"},
      {Gzip(TarArchive({{"a/\x1b[2J/../x", '0', "x"}})), "member 1 \"a/\\x1B[2J/../x\" has \"..\" in its path"},
      {Gzip(TarArchive({{"x", '0', "x", ".."}})), "member 1 \"../x\" has \"..\" in its path"},
      {Gzip(TarArchive({{"/etc/passwd", '0', "x"}})), "member 1 \"/etc/passwd\" has an absolute path"},
      {Gzip(TarArchive({{"dev/ttyS0", '3', ""}})), "member 1 \"dev/ttyS0\" is a device"},
      {Gzip(TarArchive({{"link", '2', ""}})), "member 1 \"link\" is a link"},
      {Gzip(TarArchive({{"fifo", '6', ""}})), "member 1 \"fifo\" is not a regular file or folder (type 6)"},
      // Names from a long name header and an extended header count.
      {Gzip(TarArchive({{"././@LongLink", 'L', "../x"}, {"x", '0', ""}})), "member 1 \"../x\" has \"..\" in its path"},
      {Gzip(TarArchive({{"a", 'x', "13 path=../x\n"}, {"x", '0', ""}})), "member 1 \"../x\" has \"..\" in its path"},
      {Gzip(TarArchive({{"a", 'x', "99 path=x\n"}, {"x", '0', ""}})), "the unpacked data is not a tar archive at byte 0"},
      {Gzip(TarArchive({{"a", 'x', "9 path=xy"}, {"x", '0', ""}})), "the unpacked data is not a tar archive at byte 0"},
      {Gzip(TarArchive({{"a", 'L', std::string((1 << 20) + 1, 'a')}})),
       "member 1 has a long name or extended header of 1048577 bytes, too long"},
      {Gzip(TarArchive({})), "the archive holds no file"},
      {Gzip(TarArchive({{"etc/", '5', ""}})), "the archive holds no file"},
      {Gzip(""), "the archive holds no file"},
  };
  for (const auto& row : rows) EXPECT_PRED2(Matches, Finding(FileRole::kConfigPack, row.bytes), row.found);
  WriteText("f", "x");
  EXPECT_EQ(DescribeCheck(*CheckChosenFile(os::Folder(), "f", FileRole::kUpdateScript), English),
            "update script f: not a gzip file");
}

}  // namespace
}  // namespace quarnet::test
