#include "tests/fuzz/fuzz_support.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quarnet::fuzz {
namespace {

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) Fail("cannot list %s", dir.c_str());
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace(name);
  }
  ::closedir(d);
  return names;
}

}  // namespace

void Fail(const char* format, ...) {
  std::fprintf(stderr, "\nFUZZ INVARIANT BROKEN: ");
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, "\n");
  std::abort();
}

Scratch::Scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarnet-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp failed");
  sentinel_ = pattern;
  scratch_ = sentinel_ + "/scratch";
  std::filesystem::create_directory(scratch_);
  std::filesystem::current_path(scratch_);
}

Scratch::~Scratch() {
  std::error_code ec;
  std::filesystem::current_path(std::filesystem::temp_directory_path(ec), ec);
  std::filesystem::remove_all(sentinel_, ec);
}

void Scratch::CheckSentinel(const std::set<std::string>& inputs) const {
  std::set<std::string> expected = inputs;
  expected.insert("scratch");
  const std::set<std::string> found = Entries(sentinel_);
  if (found == expected) return;
  for (const std::string& name : found) {
    if (expected.count(name) == 0) Fail("file created outside the scratch directory: %s", name.c_str());
  }
  Fail("an input beside the scratch directory was removed");
}

std::map<std::string, std::string> Scratch::Files() const {
  std::map<std::string, std::string> files;
  for (const std::string& name : Entries(scratch_)) files[name] = ReadFile(scratch_ + "/" + name);
  return files;
}

void Scratch::Clear(const std::set<std::string>& keep) const {
  for (const std::string& name : Entries(scratch_)) {
    if (keep.count(name) != 0) continue;
    const std::string path = scratch_ + "/" + name;
    if (::unlink(path.c_str()) != 0) Fail("cannot remove %s (not a plain file?)", name.c_str());
  }
}

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write %s", path.c_str());
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) Fail("cannot write %s", path.c_str());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t ReferenceCrc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

namespace {
std::uint32_t ByteAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return offset < bytes.size() ? bytes[offset] : 0;
}
}  // namespace

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return ByteAt(bytes, offset) | ByteAt(bytes, offset + 1) << 8 | ByteAt(bytes, offset + 2) << 16 |
         ByteAt(bytes, offset + 3) << 24;
}

std::uint32_t Le16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return ByteAt(bytes, offset) | ByteAt(bytes, offset + 1) << 8;
}

std::uint32_t Be32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return ByteAt(bytes, offset) << 24 | ByteAt(bytes, offset + 1) << 16 | ByteAt(bytes, offset + 2) << 8 |
         ByteAt(bytes, offset + 3);
}

std::string FieldText(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
  std::string text;
  for (std::size_t i = 0; i < width; ++i) {
    const auto c = static_cast<char>(ByteAt(bytes, offset + i));
    if (c == '\0') break;
    text += c;
  }
  return text;
}

}  // namespace quarnet::fuzz
