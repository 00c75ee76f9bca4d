// Carry-less-multiply folding for x86-64. Each path is compiled for its own
// instruction set through function attributes, so the rest of the build keeps
// generic flags; Crc32Update picks a path only after asking the CPU.
//
// The message is read as one polynomial over GF(2) whose first bit (bit 0 of
// byte 0) is the highest term. A 128-bit block X stands for the polynomial
// X.low * x^64 + X.high, each 64-bit lane holding its highest term in bit 0.
// Folding X forward by d bits replaces it with a block congruent to X * x^d
// modulo P, which is then added (XOR) to the block d bits further on. Once
// one block is left, its CRC register equals that of everything folded into
// it, and the table code reduces it and finishes the bytes that remain.
#if defined(__x86_64__)

#include <cpuid.h>
#include <immintrin.h>

#include <array>

#include "package/crc32_internal.h"

namespace quarnet::crc32_detail {
namespace {

// ---- Folding constants, derived from the polynomial at build time ----------

constexpr std::uint32_t Reflect32(std::uint32_t v) {
  std::uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}

// P(x) without its x^32 term, bit m holding the coefficient of x^m.
constexpr std::uint32_t kPoly = Reflect32(0xEDB88320u);

// x^n mod P, bit m holding the coefficient of x^m.
constexpr std::uint32_t XPowModP(unsigned n) {
  std::uint32_t r = 1;
  for (unsigned i = 0; i < n; ++i) r = (r << 1) ^ ((r & 0x80000000u) ? kPoly : 0u);
  return r;
}

static_assert(XPowModP(32) == 0x04C11DB7u);

// A 64-bit lane holding x^n mod P in the lane's bit order (x^63 in bit 0).
// The carry-less product of two such lanes, read as a block, carries an
// extra factor x: its bit k holds the coefficient of x^(126 - k), which the
// block reads as x^(127 - k). So multiplying by this lane multiplies by
// x^(n + 1).
constexpr std::uint64_t LaneFactor(unsigned n) {
  return static_cast<std::uint64_t>(Reflect32(XPowModP(n))) << 32;
}

// Factors that move a block `bits` further on: X.low * x^64 * x^bits and
// X.high * x^bits, each less the extra x of the lane product.
struct FoldFactors {
  std::uint64_t low;
  std::uint64_t high;
};

constexpr FoldFactors FoldBy(unsigned bits) {
  return {LaneFactor(bits + 63), LaneFactor(bits - 1)};
}

constexpr FoldFactors kFold128 = FoldBy(128);
constexpr FoldFactors kFold512 = FoldBy(512);
constexpr FoldFactors kFold2048 = FoldBy(2048);

// The CRC register of a folded block, then of the bytes after it.
std::uint32_t Finish(const std::array<std::uint8_t, 16>& block, const std::uint8_t* p,
                     std::size_t n) {
  return TableRegister(TableRegister(0, block.data(), block.size()), p, n);
}

std::size_t BytesToAlignment(const std::uint8_t* p, std::size_t alignment) {
  return (alignment - reinterpret_cast<std::uintptr_t>(p) % alignment) % alignment;
}

// ---- CPU features ------------------------------------------------------------

constexpr unsigned kEcx1Pclmul = 1u << 1;
constexpr unsigned kEcx1Sse41 = 1u << 19;
constexpr unsigned kEcx1Osxsave = 1u << 27;
constexpr unsigned kEcx1Avx = 1u << 28;
constexpr unsigned kEbx7Avx512f = 1u << 16;
constexpr unsigned kEbx7Avx512vl = 1u << 31;
constexpr unsigned kEcx7Vpclmul = 1u << 10;
// XCR0: SSE, AVX, opmask, upper halves of ZMM0-15, ZMM16-31.
constexpr std::uint64_t kXcr0Avx512State = (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7);

struct CpuFeatures {
  bool pclmul = false;
  bool vpclmul = false;
};

std::uint64_t ReadXcr0() {
  std::uint32_t lo = 0;
  std::uint32_t hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<std::uint64_t>(hi) << 32) | lo;
}

CpuFeatures DetectCpu() {
  CpuFeatures f;
  unsigned eax = 0, ebx = 0, ecx1 = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx1, &edx)) return f;
  f.pclmul = (ecx1 & kEcx1Pclmul) && (ecx1 & kEcx1Sse41);
  // The OS must save the AVX-512 state, or those registers are not usable.
  const bool osAvx512 = (ecx1 & kEcx1Osxsave) && (ecx1 & kEcx1Avx) &&
                        (ReadXcr0() & kXcr0Avx512State) == kXcr0Avx512State;
  unsigned ebx7 = 0, ecx7 = 0;
  if (!osAvx512 || !__get_cpuid_count(7, 0, &eax, &ebx7, &ecx7, &edx)) return f;
  f.vpclmul = f.pclmul && (ebx7 & kEbx7Avx512f) && (ebx7 & kEbx7Avx512vl) && (ecx7 & kEcx7Vpclmul);
  return f;
}

const CpuFeatures& Cpu() {
  static const CpuFeatures features = DetectCpu();
  return features;
}

}  // namespace

bool CpuHasPclmul() { return Cpu().pclmul; }
bool CpuHasVpclmul() { return Cpu().vpclmul; }

// ---- PCLMULQDQ + SSE4.1: legacy SSE encoding throughout ----------------------

#define QUARNET_SSE __attribute__((target("pclmul,sse4.1"), always_inline)) inline

namespace {

QUARNET_SSE __m128i SseLoad(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUARNET_SSE __m128i SseFactors(FoldFactors k) {
  return _mm_set_epi64x(static_cast<long long>(k.high), static_cast<long long>(k.low));
}

// x folded forward, plus the block it lands on.
QUARNET_SSE __m128i SseFold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)),
                       next);
}

// Below this, alignment plus four blocks may not fit.
constexpr std::size_t kPclmulMinimum = 15 + 64;

}  // namespace

__attribute__((target("pclmul,sse4.1"))) std::uint32_t PclmulRegister(std::uint32_t reg,
                                                                       const std::uint8_t* p,
                                                                       std::size_t n) {
  if (n < kPclmulMinimum) return TableRegister(reg, p, n);
  const std::size_t head = BytesToAlignment(p, 16);
  reg = TableRegister(reg, p, head);
  p += head;
  n -= head;

  // Four blocks in flight, each folded 512 bits on per step, keep the
  // multiplier busy (more do not help: its throughput is the limit).
  constexpr std::size_t kLanes = 4;
  __m128i x[kLanes];
  for (std::size_t i = 0; i < kLanes; ++i) x[i] = SseLoad(p + 16 * i);
  x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(reg)));
  p += 64;
  n -= 64;
  const __m128i k512 = SseFactors(kFold512);
  for (; n >= 64; p += 64, n -= 64)
    for (std::size_t i = 0; i < kLanes; ++i) x[i] = SseFold(x[i], k512, SseLoad(p + 16 * i));

  const __m128i k128 = SseFactors(kFold128);
  __m128i b = x[0];
  for (std::size_t i = 1; i < kLanes; ++i) b = SseFold(b, k128, x[i]);
  for (; n >= 16; p += 16, n -= 16) b = SseFold(b, k128, SseLoad(p));

  std::array<std::uint8_t, 16> block;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block.data()), b);
  return Finish(block, p, n);
}

// ---- VPCLMULQDQ + AVX-512: VEX/EVEX encoding throughout ---------------------

// GCC 12 reports its own "undefined" vector placeholders inside the AVX-512
// broadcast and extract intrinsics as maybe-uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define QUARNET_AVX512 \
  __attribute__((target("pclmul,avx512f,avx512vl,vpclmulqdq"), always_inline)) inline

namespace {

QUARNET_AVX512 __m128i AvxLoad128(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

QUARNET_AVX512 __m512i AvxLoad512(const std::uint8_t* p) { return _mm512_loadu_si512(p); }

QUARNET_AVX512 __m128i AvxFactors128(FoldFactors k) {
  return _mm_set_epi64x(static_cast<long long>(k.high), static_cast<long long>(k.low));
}

QUARNET_AVX512 __m512i AvxFactors512(FoldFactors k) {
  return _mm512_broadcast_i32x4(AvxFactors128(k));
}

// x folded forward, plus the block it lands on (0x96: three-way XOR).
QUARNET_AVX512 __m128i AvxFold128(__m128i x, __m128i k, __m128i next) {
  return _mm_ternarylogic_epi64(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11),
                                next, 0x96);
}

QUARNET_AVX512 __m512i AvxFold512(__m512i x, __m512i k, __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                   _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

// Below this, alignment plus one 64-byte vector may not fit.
constexpr std::size_t kVpclmulMinimum = 63 + 64;

}  // namespace

__attribute__((target("pclmul,avx512f,avx512vl,vpclmulqdq"))) std::uint32_t VpclmulRegister(
    std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
  if (n < kVpclmulMinimum) return TableRegister(reg, p, n);
  // Aligned 64-byte loads never straddle two cache lines.
  const std::size_t head = BytesToAlignment(p, 64);
  reg = TableRegister(reg, p, head);
  p += head;
  n -= head;

  const __m512i k512 = AvxFactors512(kFold512);
  __m512i x = _mm512_xor_si512(AvxLoad512(p), _mm512_castsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
  p += 64;
  n -= 64;
  if (n >= 192) {
    // Sixteen blocks in flight in four vectors, each folded 2048 bits on.
    __m512i y1 = AvxLoad512(p);
    __m512i y2 = AvxLoad512(p + 64);
    __m512i y3 = AvxLoad512(p + 128);
    p += 192;
    n -= 192;
    const __m512i k2048 = AvxFactors512(kFold2048);
    for (; n >= 256; p += 256, n -= 256) {
      x = AvxFold512(x, k2048, AvxLoad512(p));
      y1 = AvxFold512(y1, k2048, AvxLoad512(p + 64));
      y2 = AvxFold512(y2, k2048, AvxLoad512(p + 128));
      y3 = AvxFold512(y3, k2048, AvxLoad512(p + 192));
    }
    x = AvxFold512(AvxFold512(AvxFold512(x, k512, y1), k512, y2), k512, y3);
  }
  for (; n >= 64; p += 64, n -= 64) x = AvxFold512(x, k512, AvxLoad512(p));

  // The four blocks of the vector, in message order, into one.
  const __m128i k128 = AvxFactors128(kFold128);
  __m128i b = AvxFold128(_mm512_castsi512_si128(x), k128, _mm512_extracti32x4_epi32(x, 1));
  b = AvxFold128(b, k128, _mm512_extracti32x4_epi32(x, 2));
  b = AvxFold128(b, k128, _mm512_extracti32x4_epi32(x, 3));
  for (; n >= 16; p += 16, n -= 16) b = AvxFold128(b, k128, AvxLoad128(p));

  std::array<std::uint8_t, 16> block;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block.data()), b);
  _mm256_zeroupper();
  return Finish(block, p, n);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace quarnet::crc32_detail

#endif  // defined(__x86_64__)
