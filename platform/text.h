#pragma once
// Windows only: the program's UTF-8 texts as the system's UTF-16, and back,
// for the window, which hands its texts to the system itself.
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace quarnet::os::win {

// UTF-8 to UTF-16; EILSEQ for bytes that are not UTF-8.
Error Widen(std::string_view text, std::wstring& out);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view text);

}  // namespace quarnet::os::win
