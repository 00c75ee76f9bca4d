// The reader never exports an item onto the package it is reading: not when
// the package is named after one of its items, nor through a link.
#include <gtest/gtest.h>

#include <filesystem>

#include "package/reader.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class SelfExport : public InTempDir {
 protected:
  int Unpack(const char* path) {
    ItemNameTable names{};
    ProductListBuffer productList{};
    CapturedOutput out;
    const int result = UnpackPackage(path, names, productList);
    lines_ = out.text();
    return result;
  }
  std::string lines_;
};

TEST_F(SelfExport, PackageNamedAfterItsItem) {
  const Bytes package = LayOutPackage({{"A", "file:/a", BytesOf("a"), "", 0}, {"p", "file:/p", BytesOf("p"), "", 0}});
  WriteBytes("p.bin", package);
  EXPECT_EQ(Unpack("p.bin"), 0);
  EXPECT_EQ(lines_, "Export item p error.\r\n");
  EXPECT_EQ(ReadBytes("p.bin"), package);
  EXPECT_EQ(ReadText("A.bin"), "a");
}

TEST_F(SelfExport, LinksToThePackage) {
  const Bytes package = LayOutPackage(OriginalItems(), kProducts);
  fs::create_directory("store");
  WriteBytes("store/fw.bin", package);
  fs::create_hard_link("store/fw.bin", "KERNEL.bin");
  EXPECT_EQ(Unpack("store/fw.bin"), 0);
  EXPECT_EQ(lines_, "Export item KERNEL error.\r\n");
  fs::remove("KERNEL.bin");
#ifndef _WIN32
  fs::create_symlink("store/fw.bin", "ROOTFS.bin");
  EXPECT_EQ(Unpack("store/fw.bin"), 0);
  EXPECT_EQ(lines_, "Export item ROOTFS error.\r\n");
#endif
  EXPECT_EQ(ReadBytes("store/fw.bin"), package);
}

}  // namespace
}  // namespace quarnet::test
