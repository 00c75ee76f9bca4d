#pragma once
// What the window remembers from one run to the next, as lines "key=value"
// under "[window]" in the settings file quarnet.ini. A value's backslashes
// and line breaks are written as \\, \n and \r. Unknown keys, other
// sections and broken lines are ignored: a damaged file costs the choices
// it held, never the window.
#include <map>
#include <string>
#include <string_view>

namespace quarnet {

struct WindowMemory {
  std::map<std::string, std::string> entries;

  static WindowMemory Parse(std::string_view text);
  std::string Format() const;
  // The entry `key`, or "" when there is none.
  std::string Get(const std::string& key) const;
};

// The memory of the last run; empty when there is none or it cannot be read.
WindowMemory LoadWindowMemory();
// Keeps `memory` for the next run; a failure only costs the next run the
// choices (the window says nothing of its settings).
void SaveWindowMemory(const WindowMemory& memory);

}  // namespace quarnet
