#pragma once
// Lays out package bytes in code, independently of the builder engine, so
// that the reader and the repack job can be tested on packages of any shape
// (compact, odd orders, hostile names, broken fields).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quarnet::test {

struct TestItem {
  std::string name;
  std::string destination;
  std::vector<std::uint8_t> data;
  std::string version;
  std::uint32_t policy = 0;
};

using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const std::string& text);

// `n` bytes that vary with their position, so that misplaced blocks show.
Bytes PatternBytes(std::size_t n);

// A full ("QZNP") package with correct lengths, offsets and CRCs. Records
// carry their position as Index, except an item named "EFS", which has 0.
Bytes LayOutPackage(const std::vector<TestItem>& items, const std::string& productList = "");

// A compact ("QZTP") package: 28-byte header, then the records and the data.
Bytes LayOutCompactPackage(const std::vector<TestItem>& items);

// The EFS item as the builder appends it.
TestItem EfsItem();

// An 84-byte item head followed by `payload`.
Bytes WithItemHead(const std::string& version, std::uint32_t kind, const Bytes& payload,
                   std::uint32_t time = 1368000000);

// An image file of `size` bytes: an item head over a payload of zeros that
// the file system keeps as a hole, so that a big item costs no disk space.
void WriteSparseImage(const std::filesystem::path& path, const std::string& version, std::uint32_t kind,
                      std::uint64_t size);

}  // namespace quarnet::test
