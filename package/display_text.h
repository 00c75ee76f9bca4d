#pragma once
// The one escaper for text from packages and paths that reaches a terminal,
// a listing or a window: a line must not carry escape sequences or bytes
// that a terminal would misread.
#include <string>
#include <string_view>

namespace quarnet {

// `text` with every byte that is a C0 control (below 0x20), DEL, part of a
// C1 control (U+0080 .. U+009F) or not part of a well-formed UTF-8
// character shown as "\xHH"; everything else as it is.
std::string DisplayText(std::string_view text);

// `text` with every byte that is not part of a well-formed UTF-8 character
// shown as DisplayText shows it, and everything else (line breaks too) as
// it is. Every binding converts its texts from this form, so that such a
// byte shows escaped instead of emptying the text; a UTF-8 text, such as
// a path a file dialog gave, stays as it is.
std::string WindowText(std::string_view text);

// True when DisplayText leaves `text` unchanged.
bool IsDisplayable(std::string_view text);

}  // namespace quarnet
