#include "basic/packall.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "basic/build.h"
#include "basic/item_head.h"
#include "basic/naming.h"
#include "basic/util.h"
#include "package/display_text.h"
#include "package/files.h"
#include "package/job_control.h"
#include "package/output.h"

namespace quarnet {
namespace {

// Every failure prints "[<source>]<line>@" with one of these lines.
constexpr char kSourceName[] = "..\\basic\\PackAll";
enum FailureLine : int {
  kLineValueTooLong = 143,
  kLineVersionTooLong = 176,
  kLineMValueTooLong = 210,
  kLineSuffixTooLong = 219,
  kLineProductListTooLong = 240,
  kLineSystemWithoutKernel = 262,
  kLineSystemCopy = 323,
  kLineSystemAppend = 333,
  kLineKernelHead = 362,
  kLineRootfsHead = 381,
  kLineSystemHead = 402,
  kLineBuildNormal = 554,
  kLineBuildSystem = 612,
};

constexpr const char* kHelpLines[] = {
    "Usage:\r\n",
    " PackAll [Option]{ParaValue}\r\n",
    "Options:\r\n",
    " ?     show this help information\r\n",
    " -U    uboot bin file packed to the package\r\n",
    " -K    kernel bin file packed to the package\r\n",
    " -R    rootfs bin file packed to the package\r\n",
    " -Y    minisystem bin file packed to the package\r\n",
    " -v    package file version\r\n",
    " -c    special config file packed to the package\r\n",
    "Examples:\r\n",
    // Long lines are split in parentheses: one element each.
    (" PackAll -UPX6031V100R002C00B020_uboot.bin -KPX6031V100R002C00B020_kernel.bin "
     "-RPX6031V100R002C00B020_rootfs.bin -YPX6031V100R002C00B020_minisys.bin -vV100R002C00B020 "
     "-cqz_ctree.xml\r\n"),
    "Output:\r\n",
    (" After the command executed successfully the package file will be produced, such as "
     "package[UMKRCD].bin.\r\n"),
    "Report bugs to Selvik ONT.\r\n",
};

// Item descriptors ("-n") one build takes; the repack request has fewer slots.
constexpr int kMaxBuildDescriptors = 16;
constexpr char kSystemImage[] = "system.bin";
constexpr std::size_t kSuffixTextSize = 32;
constexpr std::size_t kDateTextSize = 32;
// "file:" plus the device path must fit the 256-byte Destination.
constexpr std::size_t kMaxDevicePath = kPathSize - 1 - (sizeof(destination::kFilePrefix) - 1);

// Kernel and root file system as items of their own (no -S or -I), or
// joined into one system image.
enum SystemMode : int { kSeparateImagesMode = 0, kSystemMode = 1, kMinisysMode = 2 };

struct BuildRequest {
  PathBuffer uboot{}, kernel{}, rootfs{}, minisys{}, updateFlag{}, versionFile{}, dateFile{};
  VersionBuffer version{};
  ProductListBuffer productList{};
  std::array<char, kSuffixTextSize> suffixText{};
  std::array<PathBuffer, kMaxBuildDescriptors> descriptors{};
  int descriptorCount = 0;
  int systemMode = kSeparateImagesMode;
  bool head = false;
  bool debug = false;
  std::uint8_t packTotal = 0;
  std::uint8_t packNum = 0;
  std::uint32_t timeStamp = 0;  // 0: none
  std::string nameSuffix;
};

int Fail(int line) {
  Print("[%s]<%d>@\r\n", kSourceName, line);
  return 1;
}

bool IsSet(const PathBuffer& path) { return path[0] != '\0'; }

// A value past its field's limit: the failure line, with the field and its
// limit as the reason.
int TooLong(int line, char letter, std::string_view what, std::size_t size, std::size_t limit) {
  SetFailureReason(std::string("-") + letter + ": the " + std::string(what) + " is " + std::to_string(size) +
                   " bytes, more than the " + std::to_string(limit) + " a package holds");
  return line;
}

// Stores one option; returns 0 or the failure line. Letters without an
// entry are accepted and ignored.
int ReadOption(BuildRequest& r, char letter, const char* value) {
  const std::string_view text(value);
  if (text.size() >= kPathSize) return TooLong(kLineValueTooLong, letter, "value", text.size(), kPathSize - 1);
  switch (letter) {
    case 'U': SetText(r.uboot, text); break;
    case 'K': SetText(r.kernel, text); break;
    case 'R': SetText(r.rootfs, text); break;
    case 'Y': SetText(r.minisys, text); break;
    case 'F': SetText(r.updateFlag, text); break;
    case 'V': SetText(r.versionFile, text); break;
    case 'D': SetText(r.dateFile, text); break;
    case 'v':
      return SetText(r.version, text) ? 0
                                      : TooLong(kLineVersionTooLong, letter, "version", text.size(), kVersionSize - 1);
    case 'L':
      return SetText(r.productList, text)
                 ? 0
                 : TooLong(kLineProductListTooLong, letter, "product list", text.size(), kProductListSize - 1);
    case 'O': return SetText(r.suffixText, text) ? 0 : kLineSuffixTooLong;
    case 'M': return text.size() < kSuffixTextSize ? 0 : kLineMValueTooLong;
    case 'n':
      if (r.descriptorCount < kMaxBuildDescriptors) SetText(r.descriptors[r.descriptorCount++], text);
      break;
    case 'S': r.systemMode = kSystemMode; break;
    case 'I': r.systemMode = kMinisysMode; break;
    case 'H': r.head = true; break;
    case 'T': r.debug = true; break;
    case 'A': r.packTotal = static_cast<std::uint8_t>(ToInt(value)); break;
    case 'N': r.packNum = static_cast<std::uint8_t>(ToInt(value)); break;
    default: break;
  }
  return 0;
}

// Version from the version file, time stamp from the date file, name suffix
// from the -O text. Files that are not there leave their value empty; one
// that is there but cannot be read is a warning.
void DeriveValues(BuildRequest& r) {
  if (r.version[0] == '\0' && IsSet(r.versionFile)) {
    if (InputFile file; file.OpenIfPresent(r.versionFile.data())) {
      ReadTextLine(file, r.version.data(), r.version.size());
      const std::string_view line = GetText(r.version);
      if (!line.empty() && line.back() == '\n') r.version[line.size() - 1] = '\0';
    }
  }
  if (IsSet(r.dateFile)) {
    if (InputFile file; file.OpenIfPresent(r.dateFile.data())) {
      std::array<char, kDateTextSize> date{};
      ReadTextLine(file, date.data(), date.size());
      std::uint32_t stamp = 0;
      if (ParseDateStamp(date.data(), &stamp) == 0) r.timeStamp = stamp;
    }
  }
  if (r.suffixText[0] != '\0') {
    r.nameSuffix.push_back('_');
    r.nameSuffix += GetText(r.suffixText);
  }
}

// The system image: the kernel file's bytes followed by the rootfs file's.
// When the kernel or rootfs file cannot be read, no "system.bin" file stays,
// not even one of an earlier run that would pass for this run's. What the
// commit refused to replace (a FIFO, a folder, on Windows a second name of
// another file) is not the engine's to remove.
int MakeSystemImage(const BuildRequest& r) {
  std::size_t failed = 0;
  if (JoinFiles(kSystemImage, {r.kernel.data(), r.rootfs.data()}, &failed) == 0) return 0;
  os::Entry entry;
  if (failed < 2 && LookAt(os::WorkingFolder(), kSystemImage, entry) &&
      (entry.kind == os::Kind::kRegular || entry.kind == os::Kind::kLink))
    RemoveFile(kSystemImage);
  return failed == 0 ? kLineSystemCopy : kLineSystemAppend;
}

// Writes the head file "<kind>[Head]<suffix>.bin" for `payload` and makes it
// the item file in `itemFile`. Returns 0 or `failureLine`.
int MakeHeadFile(const BuildRequest& r, const char* kind, std::uint32_t type, PathBuffer& itemFile,
                 int failureLine) {
  const std::string headName = std::string(kind) + "[Head]" + r.nameSuffix + ".bin";
  if (WriteItemHead(itemFile.data(), r.version.data(), r.timeStamp, type, headName.c_str()) != 0) {
    return failureLine;
  }
  SetText(itemFile, headName);
  return 0;
}

// The records, item files and name letters of the package being built.
struct Assembly {
  PackageTables tables;
  int count = 0;
  std::string letters;
};

// Adds one item; false when no slot is left before the EFS item's.
bool AddItem(Assembly& a, char letter, std::string_view destination, std::string_view name,
             std::string_view version, std::uint32_t policy, std::string_view file) {
  if (a.count >= kMaxItems - 1) {
    SetFailureReason("more than " + std::to_string(kMaxItems - 1) + " items: a package holds " +
                     std::to_string(kMaxItems) + ", the last of them the EFS item");
    return false;
  }
  ItemRecord& record = a.tables.records[a.count];
  record.index = static_cast<std::uint32_t>(a.count);
  SetText(record.destination, destination);
  SetText(record.itemName, name);
  SetText(record.itemVersion, version);
  record.itemPolicy = policy;
  SetText(a.tables.itemFiles[a.count], file);
  if (letter != '\0') a.letters += letter;
  ++a.count;
  return true;
}

// "local@device" or "local@device&": an UNKNOWN item at "file:<device>",
// policy 2 with the "&". Without "@" nothing is added. False when the item
// cannot be held or its device path does not fit the Destination.
bool AddDescriptor(Assembly& a, std::string_view descriptor) {
  const std::size_t at = descriptor.find('@');
  if (at == std::string_view::npos) return true;
  std::uint32_t policy = 0;
  if (descriptor.back() == '&') {
    policy = 2;
    descriptor.remove_suffix(1);
  }
  const std::string_view device = descriptor.substr(at + 1);
  if (device.size() > kMaxDevicePath) {
    TooLong(0, 'n', "device path " + DisplayText(device), device.size(), kMaxDevicePath);
    return false;
  }
  const std::string destination = std::string(destination::kFilePrefix) + std::string(device);
  return AddItem(a, '\0', destination, item::kUnknown, "", policy, descriptor.substr(0, at));
}

// The request's file for an item of the vocabulary.
const PathBuffer& FileFor(const item::Word& word, const BuildRequest& r, const PathBuffer& kernelFile,
                          const PathBuffer& rootfsFile) {
  switch (word.option) {
    case 'U': return r.uboot;
    case 'Y': return r.minisys;
    case 'K': return kernelFile;
    case 'R': return rootfsFile;
    default: return r.updateFlag;
  }
}

bool AddNormalItems(Assembly& a, const BuildRequest& r, const PathBuffer& kernelFile,
                    const PathBuffer& rootfsFile) {
  const std::uint32_t policy = r.debug ? 1 : 0;
  bool ok = true;
  for (const item::Word& word : item::kWords) {
    const PathBuffer& file = FileFor(word, r, kernelFile, rootfsFile);
    if (ok && IsSet(file))
      ok = AddItem(a, word.nameLetter, word.destination, word.name, word.versioned ? GetText(r.version) : "", policy,
                   GetText(file));
  }
  for (int i = 0; ok && i < r.descriptorCount; ++i) ok = AddDescriptor(a, GetText(r.descriptors[i]));
  return ok;
}

bool AddSystemItems(Assembly& a, const BuildRequest& r, const PathBuffer& systemFile) {
  const std::uint32_t policy = r.debug ? 1 : 0;
  const bool minisys = r.systemMode == kMinisysMode;
  bool ok = true;
  if (IsSet(r.uboot)) ok = AddItem(a, 'U', destination::kUboot, item::kUboot, "", policy, GetText(r.uboot));
  return ok &&
         AddItem(a, 'S', minisys ? destination::kMinisys : destination::kSystem,
                 minisys ? item::kMinisys : item::kSystem, GetText(r.version), policy, GetText(systemFile));
}

// The build after the derived values; returns 0 or the failure line.
int Assemble(BuildRequest& r) {
  const bool system = r.systemMode != kSeparateImagesMode;
  PathBuffer kernelFile = r.kernel;
  PathBuffer rootfsFile = r.rootfs;
  PathBuffer systemFile{};
  SetText(systemFile, kSystemImage);
  if (system) {
    if (const int line = MakeSystemImage(r)) return line;
  }
  if (r.head) {
    int line = 0;
    if (system) {
      const std::uint32_t type = r.systemMode == kSystemMode ? kHeadSystem : kHeadMinisys;
      line = MakeHeadFile(r, "system", type, systemFile, kLineSystemHead);
    } else {
      if (IsSet(r.kernel)) line = MakeHeadFile(r, "kernel", kHeadKernel, kernelFile, kLineKernelHead);
      if (line == 0 && IsSet(r.rootfs))
        line = MakeHeadFile(r, "rootfs", kHeadRootfs, rootfsFile, kLineRootfsHead);
    }
    if (line != 0) return line;
  }
  if (r.debug) r.nameSuffix += "_debug";

  const int buildFailure = system ? kLineBuildSystem : kLineBuildNormal;
  Assembly a;
  a.tables.header.mark = kPackageMark;
  a.tables.header.packTotal = r.packTotal;
  a.tables.header.packNum = r.packNum;
  a.tables.externHeader.productList = r.productList;
  const bool added = system ? AddSystemItems(a, r, systemFile) : AddNormalItems(a, r, kernelFile, rootfsFile);
  if (!added) return buildFailure;
  a.tables.header.itemNum = static_cast<std::uint32_t>(a.count);
  const std::string packageName = "package[" + a.letters + "]" + r.nameSuffix + ".bin";
  return BuildPackage(a.tables, a.count, packageName.c_str()) == 0 ? 0 : buildFailure;
}

}  // namespace

int PackAll(int argc, const char* const* argv) {
  BuildRequest request;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr) continue;
    if (arg[0] == '?') {
      for (const char* line : kHelpLines) Print("%s", line);
      return 0;
    }
    if (arg[0] != '-' || arg[1] == '\0') continue;
    if (const int line = ReadOption(request, arg[1], arg + 2)) return Fail(line);
  }
  if (request.systemMode != kSeparateImagesMode && !IsSet(request.kernel)) return Fail(kLineSystemWithoutKernel);
  DeriveValues(request);
  const int line = Assemble(request);
  return line == 0 ? 0 : Fail(line);
}

}  // namespace quarnet
