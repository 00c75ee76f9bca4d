#pragma once
// Helpers for the engine's tests: running PackAll on an argument list with
// its output captured, and decoding a written package independently of the
// engine, with every checksum recomputed.
#include <cstdint>
#include <string>
#include <vector>

#include "package/format.h"

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

struct DecodedPackage {
  PackageFileHeader header;
  ExternFileHeader externHeader;
  std::vector<ItemRecord> records;
  std::vector<std::vector<std::uint8_t>> data;  // each item's bytes
  bool checksumsOk = false;                     // header, file and every item CRC as stored
};

// Decodes a package file; fails the running test when it is not laid out
// as a package of `Item Num` items without gaps.
DecodedPackage DecodePackageFile(const std::string& path);

}  // namespace quarnet::test
