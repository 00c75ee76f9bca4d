#include "basic/naming.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "basic/util.h"
#include "package/file_copy.h"
#include "package/job_control.h"
#include "package/output_file.h"

namespace quarnet {
namespace {

char NameLetter(std::string_view name) {
  if (name == item::kUboot) return 'U';
  if (name == item::kKernel) return 'K';
  if (name == item::kRootfs) return 'R';
  if (name == item::kMinisys) return 'M';
  if (name == item::kUpdateFlag) return 'F';
  return '\0';
}

bool IsMissing(const char* path) { return path == nullptr || *path == '\0'; }

// Copies `from` to its end onto `to`. A read or write error fails the copy,
// so a short copy is never taken for a complete one.
bool CopyStream(std::FILE* from, const char* fromName, std::FILE* to, const char* toName) {
  std::setvbuf(from, nullptr, _IONBF, 0);
  std::setvbuf(to, nullptr, _IONBF, 0);
  StreamSource source(from, fromName);
  WriteSink sink(to, toName, kToEnd);
  return sink.ok() && CopyBlocks(source, sink, kToEnd).complete;
}

}  // namespace

void ExpectedPackageName(int count, const ItemNameTable& names, PathBuffer& out) {
  std::string name = "package[";
  const int n = std::clamp(count, 0, kMaxItems);
  for (int i = 0; i < n; ++i) {
    if (const char letter = NameLetter(GetText(names[i]))) name += letter;
  }
  name += "].bin";
  SetText(out, name);
}

std::string DefaultNewPackageName(const char* packagePath) {
  const std::string_view path = packagePath != nullptr ? packagePath : "";
  // The directory part runs up to the last separator; a drive prefix such
  // as "C:" stays in front of the stem as it is.
  const std::size_t separator = path.find_last_of("\\/");
  const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
  const std::string_view fileName = path.substr(nameStart);
  std::string out(path.substr(0, nameStart));
  out += fileName.substr(0, fileName.rfind('.'));
  out += "_new.bin";
  return out;
}

int ReadFileSize(const char* path, std::uint64_t& size) {
  size = 0;
  const FilePtr file = OpenInputFile(path);
  if (!file) return -1;
  const long end = std::fseek(file.get(), 0, SEEK_END) == 0 ? std::ftell(file.get()) : -1;
  if (end < 0) {
    RecordSystemError("seek", path, errno);
    return -1;
  }
  size = static_cast<std::uint64_t>(end);
  return 0;
}

int CopyFile(const char* source, const char* target) {
  if (IsMissing(source) || IsMissing(target)) return 1;
  FilePtr from = OpenInputFile(source);
  if (!from) return 1;
  std::remove(target);
  FilePtr to = OpenOutputFile(target, "w+b");
  if (!to) return 1;
  const bool copied = CopyStream(from.get(), source, to.get(), target);
  return CloseFile(std::move(to), target) && copied ? 0 : 1;
}

int AppendFile(const char* target, const char* source) {
  if (IsMissing(target) || IsMissing(source)) return 1;
  FilePtr from = OpenInputFile(source);
  if (!from) return 1;
  FilePtr to = OpenOutputFile(target, "a+b");
  if (!to) return 1;
  if (std::fseek(to.get(), 0, SEEK_END) != 0) {
    RecordSystemError("seek", target, errno);
    return 1;
  }
  const bool copied = CopyStream(from.get(), source, to.get(), target);
  return CloseFile(std::move(to), target) && copied ? 0 : 1;
}

void RemoveItemFiles(int count, const ItemNameTable& names) {
  const int n = std::clamp(count, 0, kMaxItems);
  for (int i = 0; i < n; ++i) {
    const std::string file = std::string(GetText(names[i])) + ".bin";
    std::error_code ec;
    if (!std::filesystem::is_directory(file, ec)) std::remove(file.c_str());
  }
}

}  // namespace quarnet
