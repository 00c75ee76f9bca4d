#pragma once
// Owning handle for a standard-library file stream: closed on every path.
#include <cstdio>
#include <memory>

namespace quarnet {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline FilePtr OpenFile(const char* path, const char* mode) { return FilePtr(std::fopen(path, mode)); }

}  // namespace quarnet
