#include "tests/basic/packall_support.h"

#include <gtest/gtest.h>

#include <span>

#include "basic/packall.h"
#include "package/crc32.h"
#include "package/output.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {

PackAllRun RunPackAll(const std::vector<std::string>& args) {
  std::vector<const char*> argv{nullptr};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  PackAllRun run;
  ScopedOutputSink sink([&run](std::string_view text) { run.output += text; });
  run.result = PackAll(static_cast<int>(argv.size()), argv.data());
  return run;
}

std::string ErrorLine(int line) { return "[..\\basic\\PackAll]<" + std::to_string(line) + ">@\r\n"; }

std::string Repeat(std::size_t n, char c) { return std::string(n, c); }

}  // namespace quarnet::test
