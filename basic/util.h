#pragma once
// Small helpers of the engine: input streams, checked close, raw byte blocks,
// text-mode line reads and the integer conversion of option values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "package/file.h"

namespace quarnet {

// Opens `path` for reading ("rb", or "r" for text); null for a missing path
// or a directory, which the engine never reads. The failure's reason is
// recorded in the job's report.
FilePtr OpenInputFile(const char* path, const char* mode = "rb");
// The same for a file that may be missing without failing the job: no
// reason is recorded.
FilePtr OpenOptionalInputFile(const char* path, const char* mode);

// Closes `file` and reports whether everything written reached the file;
// a failure records its reason under `name`.
bool CloseFile(FilePtr file, const std::string& name);

// An uninitialised block of `size` bytes, or null when memory is short.
std::unique_ptr<std::uint8_t[]> AllocateBytes(std::size_t size);

// Reads one line of at most size - 1 characters into `buffer` (always
// NUL-terminated), keeping its line feed. A CR LF pair reads as one LF, as
// the text-mode streams of the format's home platform deliver it.
void ReadTextLine(std::FILE* file, char* buffer, std::size_t size);

// Standard string-to-integer conversion (leading blanks, optional sign,
// digits; no digits gives 0), saturated to the range of int.
int ToInt(const char* text);

}  // namespace quarnet
