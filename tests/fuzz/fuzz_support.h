#pragma once
// Shared pieces of the fuzz targets: a scratch working directory inside a
// sentinel directory, a failure that stops the fuzzer, and independent
// decoding helpers (a bitwise CRC-32 and zero-padded field loads) so that the
// targets never check the engine with the engine's own code.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace quarnet::fuzz {

// Reports a broken invariant and aborts, which libFuzzer records as a crash.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// <temp>/quarnet-fuzz-XXXXXX/scratch, made once per process and entered. A
// file that the code under test creates outside the scratch directory shows
// up in the sentinel's listing. Both are removed at exit.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::string& sentinel() const { return sentinel_; }
  // Path of a file beside the scratch directory, for inputs.
  std::string Beside(const char* name) const { return sentinel_ + "/" + name; }

  // Fails unless the sentinel holds exactly "scratch" and `inputs`.
  void CheckSentinel(const std::set<std::string>& inputs = {}) const;
  // Names and contents of the files in the scratch directory.
  std::map<std::string, std::string> Files() const;
  // Removes every file of the scratch directory that `keep` does not name.
  void Clear(const std::set<std::string>& keep = {}) const;

 private:
  std::string sentinel_;
  std::string scratch_;
};

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);
std::string ReadFile(const std::string& path);

// Bitwise CRC-32 (reflected 0xEDB88320, preset and final complement).
std::uint32_t ReferenceCrc32(std::span<const std::uint8_t> bytes);

// Little- and big-endian loads at `offset`; bytes past the end read as 0.
std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t Le16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t Be32(std::span<const std::uint8_t> bytes, std::size_t offset);
// The text of a fixed field of `width` bytes at `offset`: up to its first
// NUL, bytes past the end reading as NUL.
std::string FieldText(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width);

}  // namespace quarnet::fuzz
