// Fuzz target: the PackAll engine over arbitrary argument vectors (the input
// split into arguments at NUL bytes), run in a scratch directory that holds
// tiny item, version and date files. After each input: the result is 0 or 1;
// a failure printed exactly one known error line and left no package; a
// build printed nothing and left exactly one package, which verifies as
// consistent and ends in the EFS item; no file outside the scratch directory
// appeared, no input file changed, and every new file has a name the engine
// may write.
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "basic/packall.h"
#include "package/format.h"
#include "package/inspect.h"
#include "package/output.h"
#include "tests/fuzz/fuzz_support.h"

namespace quarnet::fuzz {
namespace {

// Inputs the arguments can name; the dictionary knows these names.
const std::map<std::string, std::string>& Fixtures() {
  static const std::map<std::string, std::string> fixtures = {
      {"u", "boot"},       {"k", "kernel"}, {"r", "rootfs"},    {"y", "mini"},
      {"f", "1\n"},        {"c", "<cfg/>"}, {"e", ""},          {"v", "V100R001C00\r\n"},
      {"d", "2013-05-20_14:30:00\n"},
  };
  return fixtures;
}

std::set<std::string> FixtureNames() {
  std::set<std::string> names;
  for (const auto& entry : Fixtures()) names.insert(entry.first);
  return names;
}

void LayOutFixtures() {
  for (const auto& [name, contents] : Fixtures()) {
    WriteFile(name, std::span(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()));
  }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const char* suffix) {
  const std::string s = suffix;
  return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

// Names the engine writes: the package, the system image and head files.
bool EngineOutput(const std::string& name) {
  return name == "system.bin" ||
         (EndsWith(name, ".bin") && (StartsWith(name, "package[") || StartsWith(name, "kernel[Head]") ||
                                     StartsWith(name, "rootfs[Head]") || StartsWith(name, "system[Head]")));
}

bool KnownFailureLine(const std::string& output) {
  for (const int line : {143, 176, 210, 219, 240, 262, 323, 333, 362, 381, 402, 554, 612}) {
    if (output == "[..\\basic\\PackAll]<" + std::to_string(line) + ">@\r\n") return true;
  }
  return false;
}

bool IsHelp(const std::string& output) {
  return StartsWith(output, "Usage:\r\n PackAll [Option]{ParaValue}\r\n") &&
         EndsWith(output, "Report bugs to Selvik ONT.\r\n");
}

void CheckPackage(const std::string& name, const std::string& contents) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size());
  const Inspection in = InspectPackage(bytes);
  if (!in.Consistent() || in.kind != PackageKind::kFull) Fail("%s does not verify", name.c_str());
  const ItemRecord& efs = in.records.back();
  if (GetText(efs.itemName) != item::kEfs || efs.itemLen != kEfsRecordSize ||
      contents.compare(contents.size() - kEfsRecordSize, kEfsRecordSize,
                       reinterpret_cast<const char*>(kEfsRecord.data()), kEfsRecordSize) != 0) {
    Fail("%s does not end in the EFS item", name.c_str());
  }
}

void CheckFiles(int result, const std::string& output, const std::map<std::string, std::string>& files) {
  int packages = 0;
  for (const auto& [name, contents] : files) {
    const auto fixture = Fixtures().find(name);
    if (fixture != Fixtures().end()) {
      if (contents != fixture->second) Fail("input file %s changed", name.c_str());
      continue;
    }
    if (!EngineOutput(name)) Fail("unexpected file '%s'", name.c_str());
    if (StartsWith(name, "package[")) {
      ++packages;
      CheckPackage(name, contents);
    }
  }
  if (files.size() < Fixtures().size()) Fail("an input file was removed");
  const bool help = result == 0 && IsHelp(output);
  const bool built = result == 0 && output.empty();
  if (result == 1 && !KnownFailureLine(output)) Fail("failure output '%s'", output.c_str());
  if (result == 0 && !help && !built) Fail("success output '%s'", output.c_str());
  if (result != 0 && result != 1) Fail("result %d", result);
  if (packages != (built ? 1 : 0)) Fail("%d packages after result %d", packages, result);
  if (help && files.size() != Fixtures().size()) Fail("the help text wrote files");
}

}  // namespace
}  // namespace quarnet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarnet;
  using namespace quarnet::fuzz;
  static Scratch scratch;
  static const bool laidOut = (LayOutFixtures(), true);
  (void)laidOut;

  // Arguments are the NUL-separated pieces; entry 0 is never read.
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  std::vector<const char*> argv = {nullptr};
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  std::string output;
  int result = 0;
  {
    const ScopedOutputSink sink([&output](std::string_view text) { output.append(text); });
    result = PackAll(static_cast<int>(argv.size()), argv.data());
  }
  CheckFiles(result, output, scratch.Files());
  scratch.CheckSentinel();
  scratch.Clear(FixtureNames());
  return 0;
}
