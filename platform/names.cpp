// The file names Windows cannot hold, decided without the system, so that
// every system can test the rule.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "platform/files.h"

namespace quarnet::os {
namespace {

// Names of devices, which every folder has: "CON", and "CON.bin" too.
constexpr std::array<std::string_view, 6> kDeviceNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};

bool IsDeviceName(std::string_view stem) {
  std::string upper(stem);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  if (std::find(kDeviceNames.begin(), kDeviceNames.end(), upper) != kDeviceNames.end()) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         std::isdigit(static_cast<unsigned char>(upper[3]));
}

}  // namespace

std::string WindowsNameProblem(std::string_view name) {
  if (name.find_first_of("<>:\"/\\|?*") != std::string_view::npos)
    return "it holds one of the characters < > : \" / \\ | ? *";
  if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 0 && c < 0x20; }))
    return "it holds a control character";
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return "it ends in a dot or a blank";
  // The device is meant whatever follows the first dot, and blanks before it.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  if (IsDeviceName(stem)) return std::string(stem) + " is the name of a device";
  return {};
}

}  // namespace quarnet::os
