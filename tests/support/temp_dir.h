#pragma once
// Every test that touches files works in a fresh temporary directory of its
// own, never in the source tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quarnet::test {

// A freshly made directory under the system's temporary directory, removed
// with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Makes `dir` the working directory until the object goes.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::filesystem::path& dir);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::filesystem::path previous_;
};

// Fixture: each test runs with a fresh temporary working directory.
class InTempDir : public ::testing::Test {
 protected:
  InTempDir() : chdir_(dir_.path()) {}
  const std::filesystem::path& dir() const { return dir_.path(); }

 private:
  TempDir dir_;
  ScopedChdir chdir_;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);
// Sorted names of the entries of `dir`, in UTF-8.
std::vector<std::string> ListDir(const std::filesystem::path& dir);

// Paths and UTF-8 text, alike on every system (a narrow string is in the
// ANSI code page to std::filesystem on Windows).
std::filesystem::path Utf8Path(std::string_view text);
std::string Utf8(const std::filesystem::path& path);

// Every entry below `dir` (relative path with "/" between names) with its
// contents; folders map to "<dir>". Two snapshots are equal when nothing
// was created, changed or deleted.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir);

}  // namespace quarnet::test
