#pragma once
// Small helpers of the engine: raw byte blocks, text-mode line reads and the
// integer conversion of option values.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "package/files.h"

namespace quarnet {

// An uninitialised block of `size` bytes, or null when memory is short.
std::unique_ptr<std::uint8_t[]> AllocateBytes(std::size_t size);

// Reads the first line of `file`, at most size - 1 characters, into `buffer`
// (always NUL-terminated), keeping its line feed. A CR LF pair reads as one
// LF, as the text-mode streams of the format's home platform deliver it.
void ReadTextLine(InputFile& file, char* buffer, std::size_t size);

// Standard string-to-integer conversion (leading blanks, optional sign,
// digits; no digits gives 0), saturated to the range of int.
int ToInt(const char* text);

}  // namespace quarnet
