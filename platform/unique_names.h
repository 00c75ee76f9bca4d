#pragma once
// The unique names that both systems give staged files and job folders:
// six characters of an alphabet that every file system takes as they are.
#include <algorithm>
#include <cstddef>
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

}  // namespace quarnet::os::detail
