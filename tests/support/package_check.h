#pragma once
// Shared pieces of the end-to-end tests: an original package with item heads,
// captured output, a scripted front end for the Package flow, and decoding
// of a written package.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "package/format.h"
#include "package/output.h"
#include "repack/package_flow.h"
#include "tests/support/package_builder.h"
#include "tests/support/process.h"

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

// Answers the Package flow's questions from its fields and records every
// message; with `printMessages` it also prints "<message ID>" lines, for a
// flow run in a child process.
class ScriptedFrontEnd : public PackageFrontEnd {
 public:
  int SelectProducts(ProductListBuffer& productList) override {
    ++selections;
    if (cancel) return 1;
    SetText(productList, products);
    return 0;
  }
  void GetUpdateMode(int& mode) override { mode = updateMode; }
  void ShowMessage(int stringId, int number) override {
    messages.emplace_back(stringId, number);
    if (printMessages) Print("<message %d>\n", stringId);
  }
  bool ReviewChecks(const std::vector<FileCheck>& heard) override {
    findings.insert(findings.end(), heard.begin(), heard.end());
    return buildDespiteChecks || std::none_of(heard.begin(), heard.end(), [](const FileCheck& f) { return f.Failed(); });
  }

  std::string products = kProducts;
  bool cancel = false;
  bool printMessages = false;
  int updateMode = kFactoryMode;
  int selections = 0;
  std::vector<std::pair<int, int>> messages;
  bool buildDespiteChecks = false;
  std::vector<FileCheck> findings;
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

// Runs packall in `dir` on UBOOT, KERNEL, ROOTFS and UPDATEFLAG item files,
// the two images of the given sizes with heads of kVersion over sparse
// zeros (k.img, r.img): the package is `dir`/package[UKRF].bin.
inline constexpr char kSparsePackageName[] = "package[UKRF].bin";
ProcessResult BuildSparsePackage(const std::filesystem::path& dir, std::uint64_t kernelSize, std::uint64_t rootfsSize);

// Decodes a full package and checks every length and checksum with gtest.
DecodedPackage DecodeAndVerify(const Bytes& bytes);
DecodedPackage DecodePackageFile(const std::filesystem::path& path);

}  // namespace quarnet::test
