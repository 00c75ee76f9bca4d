#include "ui/window_memory.h"

#include "platform/settings.h"

namespace quarnet {
namespace {

constexpr char kFileName[] = "quarnet.ini";
constexpr char kSection[] = "[window]";
// Paths have no limit of their own, but a settings file this large is
// no file this program wrote.
constexpr std::size_t kLargestFile = std::size_t{1} << 20;

std::string Escape(std::string_view value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

}  // namespace

WindowMemory WindowMemory::Parse(std::string_view text) {
  WindowMemory memory;
  bool inSection = false;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('[')) {
      inSection = line == kSection;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (inSection && equals != std::string_view::npos && equals > 0)
      memory.entries[std::string(line.substr(0, equals))] = Unescape(line.substr(equals + 1));
  }
  return memory;
}

std::string WindowMemory::Format() const {
  std::string text = std::string(kSection) + "\n";
  for (const auto& [key, value] : entries) text += key + "=" + Escape(value) + "\n";
  return text;
}

std::string WindowMemory::Get(const std::string& key) const {
  const auto it = entries.find(key);
  return it == entries.end() ? std::string() : it->second;
}

WindowMemory LoadWindowMemory() {
  const std::optional<std::string> text = os::ReadSettings(kFileName, kLargestFile);
  return text ? WindowMemory::Parse(*text) : WindowMemory{};
}

void SaveWindowMemory(const WindowMemory& memory) { os::WriteSettings(kFileName, memory.Format()); }

}  // namespace quarnet
