#include "platform/unique_names.h"

#include <atomic>

namespace quarnet::os::detail {
namespace {

// A new number at each call, different in every process (splitmix64).
std::uint64_t UniqueNumber() {
  static std::atomic<std::uint64_t> state{ProcessSeed()};
  std::uint64_t z = state.fetch_add(0x9E3779B97F4A7C15ull) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

std::string UniqueSuffix() {
  std::uint64_t unique = UniqueNumber();
  std::string suffix;
  for (std::size_t i = 0; i < kUniqueLength; ++i, unique /= kUniqueChars.size())
    suffix.push_back(kUniqueChars[unique % kUniqueChars.size()]);
  return suffix;
}

std::string HiddenPrefix(std::string_view name) {
  constexpr std::size_t kMaxName = 255;
  constexpr std::size_t kSuffix = 1 + kUniqueLength;
  std::size_t kept = std::min(name.size(), kMaxName - 1 - kSuffix);
  while (kept > 0 && kept < name.size() && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  std::string prefix(1, '.');
  return prefix.append(name.substr(0, kept)).append(1, '.');
}

std::string HiddenName(std::string_view name) { return HiddenPrefix(name) + UniqueSuffix(); }

bool IsHiddenNameOf(std::string_view candidate, std::string_view name) {
  return HasUniqueSuffix(candidate, HiddenPrefix(name));
}

}  // namespace quarnet::os::detail
