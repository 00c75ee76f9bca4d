#pragma once
// Byte layout of a package file.
//
//   offset 0     PackageFileHeader   36 bytes
//   offset 36    ExternFileHeader   128 bytes (the product list)
//   offset 164   N x ItemRecord     360 bytes each
//   then         the item bytes, back to back in item order
//
// All integers are little-endian except File Len, which is big-endian.
// Text fields are NUL-terminated and zero-filled to their width. The
// structures below hold decoded values; Encode/Decode produce and parse the
// exact on-disk byte images.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quarnet {

inline constexpr std::size_t kFileHeaderSize = 36;
inline constexpr std::size_t kExternHeaderSize = 128;
inline constexpr std::size_t kItemRecordSize = 360;
inline constexpr std::size_t kItemHeadSize = 84;
inline constexpr std::size_t kCompactHeaderSize = 28;
inline constexpr std::size_t kEfsRecordSize = 68;
// Offset of the item table in a full package.
inline constexpr std::size_t kItemTableOffset = kFileHeaderSize + kExternHeaderSize;

// A package holds at most 16 items, the EFS item included.
inline constexpr int kMaxItems = 16;

inline constexpr std::size_t kPathSize = 256;         // paths, descriptors: 255 characters
inline constexpr std::size_t kProductListSize = 128;  // 127 characters
inline constexpr std::size_t kVersionSize = 64;       // 63 characters
inline constexpr std::size_t kItemNameSize = 16;      // 15 characters

using PathBuffer = std::array<char, kPathSize>;
using ProductListBuffer = std::array<char, kProductListSize>;
using VersionBuffer = std::array<char, kVersionSize>;
// Names of the exported items, in package order, without gaps.
using ItemNameTable = std::array<PathBuffer, kMaxItems>;

// Marks, as the little-endian value of their four characters.
inline constexpr std::uint32_t kPackageMark = 0x504E5A51;  // "QZNP"
inline constexpr std::uint32_t kCompactMark = 0x50545A51;  // "QZTP"
inline constexpr std::uint32_t kHeadMark = 0x717A717A;     // "zqzq"

// Text of a fixed field: up to its first NUL, or the whole field when it has
// none. Never reads past the field.
template <std::size_t N>
std::string_view GetText(const std::array<char, N>& field) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return {field.data(), n};
}

// The length of a text as the precision of a "%.*s" conversion.
inline int Width(std::string_view text) { return static_cast<int>(text.size()); }

// Stores at most N - 1 characters of `text` and zero-fills the rest, so the
// field always ends in NUL. Returns false when `text` had to be cut.
template <std::size_t N>
bool SetText(std::array<char, N>& field, std::string_view text) {
  static_assert(N > 0);
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  field.fill('\0');
  text.copy(field.data(), n);
  return n == text.size();
}

struct PackageFileHeader {
  std::uint32_t mark = 0;
  std::uint32_t fileLen = 0;  // host value; stored big-endian
  std::uint32_t fileCrc = 0;
  std::uint32_t headerLen = 0;
  std::uint32_t headerCrc = 0;
  std::uint32_t itemNum = 0;
  std::uint8_t packTotal = 0;
  std::uint8_t packNum = 0;
  std::uint16_t externLen = 0;
  std::uint16_t itemInfoLen = 0;
  std::uint16_t spare = 0;
  std::uint32_t reserved = 0;
};

struct ExternFileHeader {
  ProductListBuffer productList{};
};
static_assert(sizeof(ExternFileHeader::productList) == kExternHeaderSize);

struct ItemRecord {
  std::uint32_t index = 0;
  std::uint32_t itemCrc = 0;
  std::uint32_t itemOffset = 0;
  std::uint32_t itemLen = 0;
  std::array<char, 256> destination{};
  std::array<char, kItemNameSize> itemName{};
  std::array<char, kVersionSize> itemVersion{};
  std::uint32_t itemPolicy = 0;
  std::uint32_t reserved = 0;
};
static_assert(4 * 4 + 256 + kItemNameSize + kVersionSize + 4 + 4 == kItemRecordSize);

struct ItemHead {
  std::uint32_t headMark = 0;
  VersionBuffer headVersion{};
  std::uint32_t headTime = 0;
  std::uint32_t headKind = 0;
  std::uint32_t headDataLen = 0;
  std::uint32_t headDataCrc = 0;
};
static_assert(4 + kVersionSize + 4 * 4 == kItemHeadSize);

// Only Mark (offset 0) and Item Num (offset 20) have a meaning; the other
// bytes are kept as they are.
struct CompactFileHeader {
  std::uint32_t mark = 0;
  std::array<std::uint8_t, 16> undefinedA{};
  std::uint32_t itemNum = 0;
  std::array<std::uint8_t, 4> undefinedB{};
};
static_assert(4 + 16 + 4 + 4 == kCompactHeaderSize);

void Encode(const PackageFileHeader& h, std::span<std::uint8_t, kFileHeaderSize> out);
void Encode(const ExternFileHeader& h, std::span<std::uint8_t, kExternHeaderSize> out);
void Encode(const ItemRecord& r, std::span<std::uint8_t, kItemRecordSize> out);
void Encode(const ItemHead& h, std::span<std::uint8_t, kItemHeadSize> out);
void Encode(const CompactFileHeader& h, std::span<std::uint8_t, kCompactHeaderSize> out);

PackageFileHeader DecodeFileHeader(std::span<const std::uint8_t, kFileHeaderSize> in);
ExternFileHeader DecodeExternHeader(std::span<const std::uint8_t, kExternHeaderSize> in);
ItemRecord DecodeItemRecord(std::span<const std::uint8_t, kItemRecordSize> in);
ItemHead DecodeItemHead(std::span<const std::uint8_t, kItemHeadSize> in);
CompactFileHeader DecodeCompactHeader(std::span<const std::uint8_t, kCompactHeaderSize> in);

// The four characters of a mark value, for printing.
std::array<char, 5> MarkText(std::uint32_t mark);

// Item vocabulary: names and their destinations.
namespace item {
inline constexpr char kUboot[] = "UBOOT";
inline constexpr char kKernel[] = "KERNEL";
inline constexpr char kRootfs[] = "ROOTFS";
inline constexpr char kSystem[] = "SYSTEM";
inline constexpr char kMinisys[] = "MINISYS";
inline constexpr char kUpdateFlag[] = "UPDATEFLAG";
inline constexpr char kUnknown[] = "UNKNOWN";
inline constexpr char kEfs[] = "EFS";
}  // namespace item

namespace destination {
inline constexpr char kUboot[] = "flash:uboot";
inline constexpr char kKernel[] = "flash:kernel";
inline constexpr char kRootfs[] = "flash:rootfs";
inline constexpr char kSystem[] = "flash:system";
inline constexpr char kMinisys[] = "flash:minisys";
inline constexpr char kUpdateFlag[] = "file:/mnt/jffs2/Updateflag";
inline constexpr char kEfs[] = "file:/var/efs";
inline constexpr char kFilePrefix[] = "file:";  // followed by a device path
}  // namespace destination

namespace item {

// How the builder, the argument builder and the repack check treat an item
// of one name.
struct Word {
  std::string_view name;
  char option = '\0';      // the builder option that takes the item ('\0': none)
  char nameLetter = '\0';  // its letter in the builder's output name ('\0': none)
  std::string_view destination;
  bool versioned = false;  // carries the package version and an item head
};

// The items a package can be rebuilt from, in the order the builder writes
// them.
inline constexpr Word kWords[] = {
    {kUboot, 'U', 'U', destination::kUboot, false},     {kMinisys, 'Y', 'M', destination::kMinisys, false},
    {kKernel, 'K', 'K', destination::kKernel, true},    {kRootfs, 'R', 'R', destination::kRootfs, true},
    {kUpdateFlag, 'F', 'F', destination::kUpdateFlag, false},
};

// The entry of `name` (compared exactly); an empty entry for any other.
constexpr Word Find(std::string_view name) {
  for (const Word& word : kWords) {
    if (word.name == name) return word;
  }
  return {};
}

}  // namespace item

// Head Kind of an item head.
enum HeadKind : std::uint32_t { kHeadKernel = 1, kHeadRootfs = 2, kHeadSystem = 3, kHeadMinisys = 4 };

// The data of the EFS item, written byte for byte and never interpreted.
inline constexpr std::array<std::uint8_t, kEfsRecordSize> kEfsRecord = {
    0x51, 0x5A, 0x00, 0x02, 0x52, 0x58, 0x33, 0x39, 0x30, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x03, 0x20, 0x00, 0x05, 0x43, 0x48, 0x53, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x05, 0x07, 0xDA,
    0x06, 0x04, 0x10, 0x19, 0x31, 0x25, 0x00, 0x1C, 0x00, 0x05, 0x00, 0x01, 0x4B, 0x36, 0x32, 0x30,
    0x54, 0x4D, 0x51, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0x76, 0x6A, 0x00, 0x00, 0x76, 0x69, 0x9C,
    0xC0, 0x45, 0xC7, 0x34};

}  // namespace quarnet
