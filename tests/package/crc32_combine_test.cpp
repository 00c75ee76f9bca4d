#include "package/crc32.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarnet {
namespace {

TEST(Crc32Combine, EqualsTheCrcOfTheJoinedBytes) {
  std::vector<std::uint8_t> bytes(70000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
  for (const std::size_t split : {0, 1, 7, 8, 64, 1000, 4097, 69999, 70000}) {
    for (const std::size_t end : {split, split + 1, bytes.size()}) {
      if (end > bytes.size()) continue;
      const std::uint32_t first = Crc32Update(0, bytes.data(), split);
      const std::uint32_t second = Crc32Update(0, bytes.data() + split, end - split);
      EXPECT_EQ(Crc32Combine(first, second, end - split), Crc32Update(0, bytes.data(), end))
          << split << " " << end;
    }
  }
}

TEST(Crc32Combine, LongZeroRuns) {
  // "abc" and 1 GiB + 5 zero bytes: shifts beyond x^(2^31) wrap around.
  const std::vector<std::uint8_t> zeros(1 << 16);
  const std::uint32_t block = Crc32Update(0, zeros.data(), zeros.size());
  std::uint32_t expected = Crc32Update(0, "abc", 3);
  std::uint32_t doubled = block;
  std::uint64_t length = zeros.size();
  for (int i = 0; i < 14; ++i, length *= 2) doubled = Crc32Combine(doubled, doubled, length);
  expected = Crc32Combine(expected, doubled, length);
  expected = Crc32Combine(expected, Crc32Update(0, zeros.data(), 5), 5);
  std::uint32_t direct = Crc32Update(0, "abc", 3);
  for (std::uint64_t done = 0; done < length; done += zeros.size())
    direct = Crc32Update(direct, zeros.data(), zeros.size());
  direct = Crc32Update(direct, zeros.data(), 5);
  EXPECT_EQ(expected, direct);
}

}  // namespace
}  // namespace quarnet
