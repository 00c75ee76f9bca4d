#pragma once
// The unique names that both systems give staged files and job folders:
// six characters of an alphabet that every file system takes as they are.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarnet::os::detail {

inline constexpr std::string_view kUniqueChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
inline constexpr std::size_t kUniqueLength = 6;

// Whether `name` is `prefix` followed by a unique suffix.
inline bool HasUniqueSuffix(std::string_view name, std::string_view prefix) {
  return name.size() == prefix.size() + kUniqueLength && name.starts_with(prefix) &&
         std::ranges::all_of(name.substr(prefix.size()),
                             [](char c) { return kUniqueChars.find(c) != std::string_view::npos; });
}

// Six characters, new at each call.
std::string UniqueSuffix();
// "." + `name` + "." + six characters of UniqueSuffix, within 255 bytes
// (and 255 UTF-16 units): a long name is cut at a character's start.
std::string HiddenName(std::string_view name);
// What every hidden name of `name` begins with.
std::string HiddenPrefix(std::string_view name);
// Whether `candidate` has the form of a hidden name of `name`.
bool IsHiddenNameOf(std::string_view candidate, std::string_view name);

// Each system's seed for the unique names: its process and the time.
std::uint64_t ProcessSeed();

}  // namespace quarnet::os::detail
