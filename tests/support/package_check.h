#pragma once
// Shared pieces of the end-to-end tests: an original package with item heads,
// captured output, and decoding of a written package.
#include <filesystem>
#include <string>
#include <vector>

#include "package/format.h"
#include "package/output.h"
#include "tests/support/package_builder.h"

namespace quarnet::test {

inline constexpr char kVersion[] = "V100R002C00";
inline constexpr char kProducts[] = "1A0|2B0|";

// UBOOT, KERNEL, ROOTFS (both with heads of `version`), UPDATEFLAG, EFS.
inline std::vector<TestItem> OriginalItems(const std::string& kernelVersion = kVersion,
                                           const std::string& rootfsVersion = kVersion) {
  return {{item::kUboot, destination::kUboot, BytesOf("boot-loader"), "", 0},
          {item::kKernel, destination::kKernel, WithItemHead(kernelVersion, kHeadKernel, BytesOf("kernel-bytes")),
           kernelVersion, 0},
          {item::kRootfs, destination::kRootfs, WithItemHead(rootfsVersion, kHeadRootfs, BytesOf("rootfs-bytes!")),
           rootfsVersion, 0},
          {item::kUpdateFlag, destination::kUpdateFlag, BytesOf("1\n"), "", 0},
          EfsItem()};
}

// Collects everything printed through the output channel.
class CapturedOutput {
 public:
  CapturedOutput() : sink_([this](std::string_view s) { text_.append(s); }) {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  ScopedOutputSink sink_;
};

struct DecodedItem {
  ItemRecord record;
  Bytes data;
};

struct DecodedPackage {
  PackageFileHeader header;
  ExternFileHeader externHeader;
  std::string productList;
  std::vector<DecodedItem> items;
};

// Decodes a full package and checks every length and checksum with gtest.
DecodedPackage DecodeAndVerify(const Bytes& bytes);
DecodedPackage DecodePackageFile(const std::filesystem::path& path);

}  // namespace quarnet::test
