// Fuzz target: the checks of a chosen file over arbitrary bytes, as a
// configuration file and as a pack. Whatever the bytes, a check ends within
// the fuzzer's memory and time limits and says something coherent: a file
// that passes was read whole (its length and CRC those of the bytes, by a
// CRC of its own here), a pack that passes starts with the gzip signature,
// a configuration file is judged exactly when it looks like XML, a stream
// cut short is cut at the end of the file, and every finding, worded, is
// fit for a terminal.
#include <cstdint>
#include <string>

#include "package/display_text.h"
#include "repack/input_check.h"
#include "tests/fuzz/fuzz_support.h"

namespace quarnet::fuzz {
namespace {

using Bytes = std::span<const std::uint8_t>;

// An optional UTF-8 byte order mark, blanks, then "<".
bool LooksLikeXml(Bytes bytes) {
  std::size_t i = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
  return i < bytes.size() && bytes[i] == '<';
}

void CheckAs(FileRole role, const std::string& path, Bytes bytes) {
  const std::optional<FileCheck> check = CheckChosenFile(os::Folder(), path, role);
  if (!check) Fail("the file could not be opened");
  const bool xml = role == FileRole::kConfigFile;
  if (check->problem == CheckProblem::kNone) {
    if (!check->whole || check->length != bytes.size() || check->crc != ReferenceCrc32(bytes))
      Fail("a file passed without being read whole");
    if (!xml && (bytes.size() < 2 || bytes[0] != 0x1F || bytes[1] != 0x8B)) Fail("a pack without gzip signature passed");
  }
  if (xml && (check->problem == CheckProblem::kNotXml) == LooksLikeXml(bytes))
    Fail("judged a file that does not look like XML, or the reverse");
  if (check->problem == CheckProblem::kGzipCutShort && check->offset != bytes.size())
    Fail("cut short at byte %llu of %zu", static_cast<unsigned long long>(check->offset), bytes.size());
  const std::string line = DescribeCheck(*check, [](int) { return std::string("%s %d %s %d %s"); });
  if (!IsDisplayable(line)) Fail("a finding is not fit for a terminal");
}

}  // namespace
}  // namespace quarnet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarnet::fuzz;
  static Scratch scratch;
  const Bytes bytes(data, size);
  const std::string path = scratch.Beside("chosen");
  WriteFile(path, bytes);
  CheckAs(quarnet::FileRole::kConfigFile, path, bytes);
  CheckAs(quarnet::FileRole::kConfigPack, path, bytes);
  scratch.CheckSentinel({"chosen"});
  return 0;
}
