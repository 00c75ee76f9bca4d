#include "package/crc32.h"

#include <array>

namespace quarnet {
namespace {

// Polynomials over GF(2) in the reflected bit order of the CRC: bit 31 is
// x^0, bit 0 is x^31.
constexpr std::uint32_t kPolynomial = 0xEDB88320;
constexpr std::uint32_t kOne = 0x80000000;

// a * b modulo the CRC polynomial.
constexpr std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t bit = kOne; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
  }
  return product;
}

// kPowers[k] = x^(2^k) modulo the polynomial. The powers repeat with period
// 32, since the order of x divides 2^32 - 1.
constexpr std::array<std::uint32_t, 32> MakePowers() {
  std::array<std::uint32_t, 32> powers{};
  powers[0] = kOne >> 1;  // x^1
  for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = MultiplyModP(powers[k - 1], powers[k - 1]);
  return powers;
}
constexpr std::array<std::uint32_t, 32> kPowers = MakePowers();

// x^(8 * length) modulo the polynomial: the shift over `length` bytes.
std::uint32_t ByteShift(std::uint64_t length) {
  std::uint32_t shift = kOne;
  for (std::size_t k = 3; length != 0; ++k, length >>= 1) {
    if (length & 1) shift = MultiplyModP(kPowers[k % kPowers.size()], shift);
  }
  return shift;
}

}  // namespace

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondLength) {
  return MultiplyModP(ByteShift(secondLength), first) ^ second;
}

}  // namespace quarnet
