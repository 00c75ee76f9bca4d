// Fuzz target: the package reader over an arbitrary file. The file lies
// beside the scratch directory in which the items are exported. After each
// input the exported files, the names, the product list and every printed
// line are compared with what an independent reading of the bytes predicts:
// each item file holds exactly the bytes of its record's range, each name is
// its 16-byte field cut at the first NUL, and nothing is written anywhere
// else.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "package/display_text.h"
#include "package/format.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace quarnet::fuzz {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kNameField = 272;
constexpr char kUntouched[] = "untouched|";

struct Outcome {
  int result = 0;
  std::string output;
  std::vector<std::string> names;
  std::map<std::string, std::string> files;  // besides the job log
  std::string productList;
  std::vector<std::string> logLines;  // text fields in the job log, in order
};

std::string Format(const char* format, int a, int b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// Names that a terminal would misread are refused, and shown escaped.
bool Plain(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos &&
         IsDisplayable(name);
}

// Exports the records of the table at `table` the way the file describes
// them; `count` records are known to be there.
void PredictExports(Bytes bytes, std::size_t table, std::uint32_t count, Outcome& o) {
  // Every name is judged before the first file is made.
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string name = FieldText(bytes, table + kItemRecordSize * i + kNameField, kItemNameSize);
    if (name != "EFS" && !Plain(name)) {
      o.output += "Export item " + DisplayText(name) + " error.\r\n";
      o.result = 0;
      return;
    }
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t record = table + kItemRecordSize * i;
    const std::string name = FieldText(bytes, record + kNameField, kItemNameSize);
    if (name == "EFS") continue;
    const std::uint64_t offset = Le32(bytes, record + 8);
    const std::uint64_t length = Le32(bytes, record + 12);
    const std::uint64_t available = offset < bytes.size() ? std::min<std::uint64_t>(length, bytes.size() - offset) : 0;
    if (available < length) {  // the partial file never takes the name
      o.output += "Unpack file " + name + Format(" error. left size %d.\r\n", static_cast<int>(length - available));
      o.output += "Export item " + name + " error.\r\n";
      o.result = 0;
      return;
    }
    o.files[name + ".bin"] = std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(offset + available));
    o.names.push_back(name);
    o.result = static_cast<int>(o.names.size());
  }
}

Outcome Predict(Bytes bytes) {
  Outcome o;
  o.productList = kUntouched;
  const std::uint32_t mark = Le32(bytes, 0);
  if (mark != kPackageMark && mark != kCompactMark) {
    o.result = -1;
    o.output = "Wrong file input.\r\n";
    return o;
  }
  const bool full = mark == kPackageMark;
  // The header reads fail only when they deliver no byte at all.
  if (full && bytes.size() <= kFileHeaderSize) {
    o.output = "Parse File Head error.\r\n";
    o.productList.clear();
    return o;
  }
  if (full) {
    o.productList = FieldText(bytes, kFileHeaderSize, kExternHeaderSize);
    o.logLines.push_back("Product List : " + o.productList + " \r\n");
    if (o.productList.size() > kProductListSize - 1) o.productList.resize(kProductListSize - 1);
  }
  const std::uint32_t itemNum = Le32(bytes, 20);
  if (itemNum > kMaxItems) {
    o.output = "Parse Items error.\r\n";
    return o;
  }
  const std::size_t table = full ? kItemTableOffset : kCompactHeaderSize;
  for (std::uint32_t i = 0; i < itemNum; ++i) {
    if (table + kItemRecordSize * i >= bytes.size()) {
      o.output = Format("Error: Read file item error. index=%d, itme=%d;\r\n", static_cast<int>(i),
                        static_cast<int>(itemNum)) +
                 "Parse Items error.\r\n";
      return o;
    }
  }
  for (std::uint32_t i = 0; i < itemNum; ++i) {
    const std::size_t record = table + kItemRecordSize * i;
    o.logLines.push_back("Destination  : " + FieldText(bytes, record + 16, 256) + " \r\n");
    o.logLines.push_back("Item Name    : " + FieldText(bytes, record + kNameField, kItemNameSize) + " \r\n");
    o.logLines.push_back("Item Version : " + FieldText(bytes, record + 288, kVersionSize) + " \r\n");
  }
  PredictExports(bytes, table, itemNum, o);
  if (o.result == 0) o.names.clear();
  return o;
}

Outcome Run(const std::string& path) {
  Outcome o;
  ItemNameTable names{};
  ProductListBuffer productList{};
  SetText(productList, kUntouched);
  {
    const ScopedOutputSink sink([&o](std::string_view text) { o.output.append(text); });
    OpenJobLog();
    o.result = UnpackPackage(path.c_str(), names, productList);
    CloseJobLog();
  }
  for (int i = 0; i < o.result; ++i) o.names.emplace_back(GetText(names[static_cast<std::size_t>(i)]));
  o.productList = GetText(productList);
  return o;
}

void Compare(const Outcome& want, Outcome got, std::map<std::string, std::string> files) {
  if (got.result != want.result) Fail("result %d, expected %d", got.result, want.result);
  if (got.output != want.output) Fail("output\n%s\nexpected\n%s", got.output.c_str(), want.output.c_str());
  if (got.names != want.names) Fail("item name table differs");
  // The product list is handed back for a full package and left alone for a
  // compact one; after a failure it is not meaningful.
  if ((want.result > 0 || want.productList == kUntouched) && got.productList != want.productList)
    Fail("product list '%s', expected '%s'", got.productList.c_str(), want.productList.c_str());
  const auto log = files.find(kJobLogName);
  if (log == files.end()) Fail("job log missing");
  std::size_t at = 0;
  for (const std::string& line : want.logLines) {
    at = log->second.find(line, at);
    if (at == std::string::npos) Fail("job log lacks '%s'", line.c_str());
    at += line.size();
  }
  files.erase(log);
  if (files.size() != want.files.size()) Fail("%zu files exported, expected %zu", files.size(), want.files.size());
  for (const auto& [name, contents] : want.files) {
    const auto it = files.find(name);
    if (it == files.end()) Fail("%s not exported", name.c_str());
    if (it->second != contents) Fail("%s holds other bytes than its record's range", name.c_str());
  }
}

}  // namespace
}  // namespace quarnet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarnet::fuzz;
  static Scratch scratch;
  const Bytes bytes(data, size);
  const std::string path = scratch.Beside("package");
  WriteFile(path, bytes);
  const Outcome got = Run(path);
  Compare(Predict(bytes), got, scratch.Files());
  scratch.CheckSentinel({"package"});
  scratch.Clear();
  return 0;
}
