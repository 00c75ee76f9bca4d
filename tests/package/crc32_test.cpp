#include "package/crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QUARNET_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARNET_TEST_SANITIZED 1
#endif
#endif

namespace quarnet {
namespace {

// Bit at a time, straight from the definition: independent of every path.
std::uint32_t BitwiseCrc(std::uint32_t previous, const std::uint8_t* p, std::size_t n) {
  std::uint32_t c = ~previous;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; i += 8) {
    const std::uint64_t r = rng();
    std::memcpy(v.data() + i, &r, std::min<std::size_t>(8, n - i));
  }
  return v;
}

// A copy of `n` bytes placed `alignment` bytes past a 64-byte boundary and
// flush against the end of its allocation, so the sanitizer flags any read
// past the last byte.
class Placed {
 public:
  Placed(const std::uint8_t* src, std::size_t alignment, std::size_t n)
      : mem_(new (std::align_val_t{64}) std::uint8_t[alignment + n]), data_(mem_.get() + alignment) {
    if (n > 0) std::memcpy(data_, src, n);
  }
  const std::uint8_t* data() const { return data_; }

 private:
  struct AlignedDelete {
    void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{64}); }
  };
  std::unique_ptr<std::uint8_t[], AlignedDelete> mem_;
  std::uint8_t* data_;
};

// Reference CRCs of every prefix of `data`, one byte at a time.
std::vector<std::uint32_t> PrefixCrcs(std::uint32_t previous, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint32_t> crcs{previous};
  for (std::uint8_t b : data) crcs.push_back(BitwiseCrc(crcs.back(), &b, 1));
  return crcs;
}

std::string PathName(const ::testing::TestParamInfo<Crc32Path>& info) {
  switch (info.param) {
    case Crc32Path::kTable:
      return "Table";
    case Crc32Path::kPclmul:
      return "Pclmul";
    case Crc32Path::kVpclmul:
      return "Vpclmul";
  }
  return "Unknown";
}

class Crc32PathTest : public ::testing::TestWithParam<Crc32Path> {
 protected:
  void SetUp() override {
    if (!Crc32PathSupported(GetParam())) GTEST_SKIP() << "this CPU cannot run the path";
  }
  std::uint32_t Crc(std::uint32_t previous, const void* data, std::size_t n) const {
    return Crc32UpdateWith(GetParam(), previous, data, n);
  }
};

TEST_P(Crc32PathTest, KnownValues) {
  struct Case {
    std::string_view text;
    std::uint32_t previous;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"123456789", 0, 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0, 0x414FA339u},
      {"", 0, 0},
      {"", 0xDEADBEEFu, 0xDEADBEEFu},  // no bytes: previous passes through
      {"56789", 0x9BE3E0A3u, 0xCBF43926u},  // "1234" then "56789"
  };
  for (const Case& c : cases)
    EXPECT_EQ(Crc(c.previous, c.text.data(), c.text.size()), c.expected) << c.text;
}

TEST_P(Crc32PathTest, MatchesBitwiseOnRandomData) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    const std::size_t n = rng() % 70000;
    const std::vector<std::uint8_t> data = RandomBytes(n, rng());
    const std::uint32_t previous = trial % 3 == 0 ? 0 : rng();
    ASSERT_EQ(Crc(previous, data.data(), n), BitwiseCrc(previous, data.data(), n)) << n;
  }
}

// Every length up to 10,000, each checked against the byte-at-a-time
// reference of the same prefix: at every alignment in the Release run, at a
// few under the sanitizers, which make it slow.
TEST_P(Crc32PathTest, EveryLengthAtManyAlignments) {
  constexpr std::size_t kMaxLength = 10000;
  const std::vector<std::uint8_t> src = RandomBytes(kMaxLength, 11);
  const std::vector<std::uint32_t> ref = PrefixCrcs(0x5A5A1234u, src);
#if defined(QUARNET_TEST_SANITIZED)
  const std::vector<std::size_t> alignments{0, 1, 31, 63};
#else
  std::vector<std::size_t> alignments(64);
  for (std::size_t a = 0; a < alignments.size(); ++a) alignments[a] = a;
#endif
  for (std::size_t alignment : alignments) {
    for (std::size_t n = 0; n <= kMaxLength; ++n) {
      const Placed placed(src.data(), alignment, n);
      ASSERT_EQ(Crc(ref[0], placed.data(), n), ref[n]) << "alignment " << alignment << " length " << n;
    }
  }
}

// Every alignment 0..63 at every short length (around the lengths where the
// vector paths start and change step) and at a sample of longer ones.
TEST_P(Crc32PathTest, EveryAlignmentAtSampleLengths) {
  constexpr std::size_t kAllUpTo = 600;
  const std::vector<std::uint8_t> src = RandomBytes(10000, 13);
  const std::vector<std::uint32_t> ref = PrefixCrcs(0xFFFFFFFFu, src);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= kAllUpTo; ++n) lengths.push_back(n);
  for (std::size_t n : {1023, 1024, 1025, 2047, 4096, 4111, 8191, 9999, 10000}) lengths.push_back(n);
  for (std::size_t alignment = 0; alignment < 64; ++alignment) {
    for (std::size_t n : lengths) {
      const Placed placed(src.data(), alignment, n);
      ASSERT_EQ(Crc(ref[0], placed.data(), n), ref[n]) << "alignment " << alignment << " length " << n;
    }
  }
}

TEST_P(Crc32PathTest, ChainedCallsMatchOneCall) {
  std::mt19937 rng(17);
  const std::vector<std::uint8_t> data = RandomBytes(50000, 19);
  for (int trial = 0; trial < 100; ++trial) {
    const std::size_t total = rng() % data.size();
    const std::uint32_t previous = rng();
    std::uint32_t chained = previous;
    for (std::size_t at = 0; at < total;) {
      // Mostly short pieces, some long enough for the vector loops.
      const std::size_t limit = rng() % 4 == 0 ? 5000 : 40;
      const std::size_t piece = std::min<std::size_t>(rng() % (limit + 1), total - at);
      chained = Crc(chained, data.data() + at, piece);
      at += piece;
    }
    ASSERT_EQ(chained, Crc32UpdateWith(Crc32Path::kTable, previous, data.data(), total)) << total;
  }
}

TEST_P(Crc32PathTest, LargeBufferMatchesTable) {
#if defined(QUARNET_TEST_SANITIZED)
  GTEST_SKIP() << "256 MiB runs only without sanitizers";
#else
  constexpr std::size_t kSize = std::size_t{256} << 20;
  const std::vector<std::uint8_t> data = RandomBytes(kSize, 23);
  EXPECT_EQ(Crc(0, data.data(), kSize), Crc32UpdateWith(Crc32Path::kTable, 0, data.data(), kSize));
#endif
}

INSTANTIATE_TEST_SUITE_P(Paths, Crc32PathTest,
                         ::testing::Values(Crc32Path::kTable, Crc32Path::kPclmul, Crc32Path::kVpclmul),
                         PathName);

TEST(Crc32Dispatch, UsesASupportedPathWithTheSameResults) {
  EXPECT_TRUE(Crc32PathSupported(Crc32Path::kTable));
  EXPECT_TRUE(Crc32PathSupported(Crc32BestPath()));
  // The wide path relies on the narrow one's CPU features.
  if (Crc32PathSupported(Crc32Path::kVpclmul)) {
    EXPECT_TRUE(Crc32PathSupported(Crc32Path::kPclmul));
  }
  const std::vector<std::uint8_t> data = RandomBytes(100000, 29);
  for (std::size_t n : {0, 9, 200, 4097, 100000})
    EXPECT_EQ(Crc32Update(0, data.data(), n), BitwiseCrc(0, data.data(), n)) << n;
}

}  // namespace
}  // namespace quarnet
