#include "package/reader.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>

#include "package/endian.h"
#include "package/file.h"
#include "package/file_copy.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/output_file.h"

namespace quarnet {
namespace {

// The package that UnpackPackage reads, for the reasons of failed calls.
const char* g_package = "package";

// Reads up to `N` bytes into a zero-filled image; a short read keeps the
// zero fill. Returns the number of bytes delivered. A failed read records
// its reason under `name`, unless that is null.
template <std::size_t N>
std::size_t ReadImage(std::FILE* file, std::array<std::uint8_t, N>& image, const char* name = g_package) {
  image.fill(0);
  const std::size_t got = std::fread(image.data(), 1, N, file);
  if (got < N && name != nullptr && std::ferror(file) != 0) RecordSystemError("read", name, errno);
  return got;
}

// Copies the item's Item Len bytes from Item Offset of the package to `out`;
// returns the number of bytes that could not be copied (the package ended
// or a write failed).
std::uint32_t CopyItemData(std::FILE* package, const ItemRecord& record, std::FILE* out, const std::string& outName) {
  return record.itemLen -
         static_cast<std::uint32_t>(CopyFileBytes(package, g_package, record.itemOffset, out, outName, record.itemLen));
}

// Makes `path` the package of the reasons while the object lives.
class ReadingPackage {
 public:
  explicit ReadingPackage(const char* path) : previous_(std::exchange(g_package, path)) {}
  ~ReadingPackage() { g_package = previous_; }
  ReadingPackage(const ReadingPackage&) = delete;
  ReadingPackage& operator=(const ReadingPackage&) = delete;

 private:
  const char* previous_;
};

bool IsControl(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

// The name as the lines show it: a control byte as "\xHH", so that a
// package cannot send escape sequences to the terminal. Names that may be
// exported have none and show as they are.
std::string Printable(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (!IsControl(c)) {
      out += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
    out += escaped;
  }
  return out;
}

// True when the item's file would be the package itself (a package named
// after one of its items, or a link to it): opening it for writing would
// empty the package while it is being read. A link would only be replaced,
// but is refused all the same, as it always was.
bool IsThePackage(const char* packagePath, std::string_view name) {
  std::error_code ec;
  return std::filesystem::equivalent(packagePath, std::string(name) + ".bin", ec);
}

}  // namespace

bool IsPlainItemName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  // A NUL would silently shorten the file name; other control bytes would
  // reach the terminal through the lines and the listings.
  return name.find_first_of("/\\:") == std::string_view::npos && std::none_of(name.begin(), name.end(), IsControl);
}

int ReadFileHeader(std::FILE* file, PackageFileHeader& header, ExternFileHeader& externHeader) {
  std::array<std::uint8_t, kFileHeaderSize> headerImage;
  if (ReadImage(file, headerImage) == 0) return -1;
  header = DecodeFileHeader(headerImage);
  std::array<std::uint8_t, kExternHeaderSize> externImage;
  if (ReadImage(file, externImage) == 0) return -1;
  externHeader = DecodeExternHeader(externImage);
  LogFileHeader(header, std::string(GetText(externHeader.productList)).c_str());
  return 0;
}

int ReadCompactHeader(std::FILE* file, CompactFileHeader& header) {
  std::array<std::uint8_t, kCompactHeaderSize> image;
  if (ReadImage(file, image) == 0) return -1;
  header = DecodeCompactHeader(image);
  return 0;
}

int ReadItemRecords(std::FILE* file, int count, ItemTable& table) {
  // More items than the table holds: refused rather than cut, since a
  // repack of the first 16 would silently drop the rest.
  if (count > kMaxItems) return -1;
  for (int i = 0; i < count; ++i) {
    std::array<std::uint8_t, kItemRecordSize> image;
    if (ReadImage(file, image) == 0) {
      Print("Error: Read file item error. index=%d, itme=%d;\r\n", i, count);
      return -1;
    }
    table[static_cast<std::size_t>(i)] = DecodeItemRecord(image);
  }
  LogItemRecords(count, table.data());
  return 0;
}

int ExportItem(std::FILE* file, const ItemRecord& record) {
  const std::string_view name = GetText(record.itemName);
  // A name with a path in it would place the file outside the working
  // directory, or nowhere sensible.
  if (!IsPlainItemName(name)) {
    SetFailureReason("Item Name " + Printable(name) + " is not a plain file name");
    return -1;
  }
  if (std::fseek(file, static_cast<long>(record.itemOffset), SEEK_SET) != 0) {
    RecordSystemError("seek", g_package, errno);
    return -1;
  }
  const std::string fileName = std::string(name) + ".bin";
  FilePtr out = OpenOutputFile(fileName.c_str(), "wb");
  if (!out) return -1;
  const std::uint32_t left = CopyItemData(file, record, out.get(), fileName);
  if (left != 0) {
    // Unless a failed call or a stop said why already.
    SetFailureReason(std::string("read ") + g_package + ": the package ends inside item " + std::string(name));
    // The partly written file stays, as after any failed export.
    Print("Unpack file %.*s error. left size %d.\r\n", Width(name), name.data(), static_cast<int>(left));
    return -1;
  }
  // Buffered bytes that cannot be written (a full disk) show up only here.
  if (std::fclose(out.release()) != 0) {
    RecordSystemError("close", fileName, errno);
    return -1;
  }
  return 0;
}

int UnpackPackage(const char* path, ItemNameTable& names, ProductListBuffer& productList) {
  FilePtr file = OpenFile(path, "rb");
  if (!file) {
    RecordSystemError("open", path, errno);
    Print("Open file %s error.\r\n", path);
    return -1;
  }
  const ReadingPackage reading(path);
  std::array<std::uint8_t, 4> markImage;
  ReadImage(file.get(), markImage);
  std::fseek(file.get(), 0, SEEK_SET);

  PackageFileHeader header;
  ExternFileHeader externHeader;
  CompactFileHeader compactHeader;
  int headResult = -1;
  std::uint32_t itemNum = 0;
  const std::uint32_t mark = LoadLE32(markImage.data());
  if (mark == kPackageMark) {
    headResult = ReadFileHeader(file.get(), header, externHeader);
    SetText(productList, GetText(externHeader.productList));
    itemNum = header.itemNum;
  } else if (mark == kCompactMark) {
    headResult = ReadCompactHeader(file.get(), compactHeader);
    itemNum = compactHeader.itemNum;
  } else {
    file.reset();
    Print("Wrong file input.\r\n");
    return -1;
  }
  if (headResult != 0) {
    Print("Parse File Head error.\r\n");
    return 0;
  }

  // Any Item Num above 16 stays above 16 and is refused by ReadItemRecords.
  ItemTable table{};
  const int count = static_cast<int>(std::min<std::uint32_t>(itemNum, kMaxItems + 1));
  if (ReadItemRecords(file.get(), count, table) != 0) {
    Print("Parse Items error.\r\n");
    return 0;
  }

  int exported = 0;
  for (int i = 0; i < count; ++i) {
    const ItemRecord& record = table[static_cast<std::size_t>(i)];
    const std::string_view name = GetText(record.itemName);
    if (name == item::kEfs) continue;
    const bool self = IsThePackage(path, name);
    if (self) SetFailureReason(std::string(name) + ".bin is the package " + path + " itself");
    if (self || ExportItem(file.get(), record) != 0) {
      Print("Export item %s error.\r\n", Printable(name).c_str());
      exported = 0;
      break;
    }
    SetText(names[static_cast<std::size_t>(exported)], name);
    ++exported;
  }
  return exported;
}

int ReadItemHeadVersion(const char* path, std::span<char, kVersionSize> version) {
  FilePtr file = OpenFile(path, "rb");
  if (!file) return -1;
  std::array<std::uint8_t, kItemHeadSize> image;
  // Not a failure of the job: the caller goes on without a version.
  const std::size_t got = ReadImage(file.get(), image, nullptr);
  file.reset();
  if (got == 0) return -1;
  std::transform(image.begin() + 4, image.begin() + 4 + kVersionSize, version.begin(),
                 [](std::uint8_t b) { return static_cast<char>(b); });
  return 0;
}

}  // namespace quarnet
