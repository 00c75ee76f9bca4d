#pragma once
// The paths behind Crc32Update. They work on the bare register: the caller
// complements on entry and on exit, so pieces chain without extra steps.
#include <cstddef>
#include <cstdint>

namespace quarnet::crc32_detail {

std::uint32_t TableRegister(std::uint32_t reg, const std::uint8_t* p, std::size_t n);

#if defined(__x86_64__)
bool CpuHasPclmul();
bool CpuHasVpclmul();
std::uint32_t PclmulRegister(std::uint32_t reg, const std::uint8_t* p, std::size_t n);
std::uint32_t VpclmulRegister(std::uint32_t reg, const std::uint8_t* p, std::size_t n);
#endif

}  // namespace quarnet::crc32_detail
