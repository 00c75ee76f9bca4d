#include "package/format.h"

#include <gtest/gtest.h>

namespace quarnet {
namespace {

TEST(Format, FileLenIsBigEndian) {
  PackageFileHeader h;
  h.fileLen = 976;
  std::array<std::uint8_t, kFileHeaderSize> image{};
  Encode(h, image);
  EXPECT_EQ(image[4], 0x00);
  EXPECT_EQ(image[6], 0x03);
  EXPECT_EQ(image[7], 0xD0);
  EXPECT_EQ(DecodeFileHeader(image).fileLen, 976u);
}

}  // namespace
}  // namespace quarnet
