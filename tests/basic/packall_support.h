#pragma once
// Helpers for the engine's tests: running PackAll on an argument list with
// its output captured. Written packages are decoded with the shared
// DecodePackageFile, which recomputes every checksum.
#include <cstdint>
#include <string>
#include <vector>

#include "package/format.h"
#include "tests/support/package_check.h"

namespace quarnet::test {

struct PackAllRun {
  int result = 0;
  std::string output;
};

// Calls PackAll with a null entry 0 followed by `args`.
PackAllRun RunPackAll(const std::vector<std::string>& args);

// The error line of failure site `line`.
std::string ErrorLine(int line);

// A text of `n` copies of `c`.
std::string Repeat(std::size_t n, char c = 'a');

}  // namespace quarnet::test
