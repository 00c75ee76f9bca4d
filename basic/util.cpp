#include "basic/util.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "package/job_control.h"

namespace quarnet {

FilePtr OpenOptionalInputFile(const char* path, const char* mode) {
  if (path == nullptr || *path == '\0') return nullptr;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    errno = EISDIR;
    return nullptr;
  }
  return OpenFile(path, mode);
}

FilePtr OpenInputFile(const char* path, const char* mode) {
  FilePtr file = OpenOptionalInputFile(path, mode);
  if (!file && path != nullptr && *path != '\0') RecordSystemError("open", path, errno);
  return file;
}

bool CloseFile(FilePtr file, const std::string& name) {
  if (std::fclose(file.release()) == 0) return true;
  RecordSystemError("close", name, errno);
  return false;
}

std::unique_ptr<std::uint8_t[]> AllocateBytes(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

void ReadTextLine(std::FILE* file, char* buffer, std::size_t size) {
  if (size == 0) return;
  std::size_t n = 0;
  while (n + 1 < size) {
    int c = std::fgetc(file);
    if (c == EOF) break;
    if (c == '\r') {
      const int next = std::fgetc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
}

int ToInt(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace quarnet
