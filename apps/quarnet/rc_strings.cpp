// quarnet-rc-strings: prints the program's string table as the STRINGTABLE
// of a Windows resource script (UTF-8, read with code page 65001), so the
// Windows program's resources come from the same table as every window.
#include <cstdio>
#include <string>

#include "ui/strings.h"

int main() {
  std::string script = "STRINGTABLE\nBEGIN\n";
  for (int id = 0; id < 0x10000; ++id) {
    const std::string_view text = quarnet::LoadResString(id);
    if (text.empty()) continue;
    script += "  " + std::to_string(id) + ", \"";
    for (const char c : text) {
      if (c == '"') script += '"';  // a quote is doubled, a backslash escaped
      if (c == '\\') script += '\\';
      script += c;
    }
    script += "\"\n";
  }
  script += "END\n";
  return std::fwrite(script.data(), 1, script.size(), stdout) == script.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
