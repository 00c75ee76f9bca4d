#include "basic/naming.h"

#include <algorithm>
#include <string_view>

#include "package/file_copy.h"
#include "package/files.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

bool IsMissing(const char* path) { return path == nullptr || *path == '\0'; }

// Copies `from` to its end onto `to`. A failed call fails the copy, so a
// short copy is never taken for a complete one.
bool CopyAll(const char* from, OutputFile& to) {
  InputFile in;
  if (!in.Open(from)) return false;
  FileSource source(in);
  WriteSink sink(&to, kToEnd);
  return sink.ok() && CopyBlocks(source, sink, kToEnd).complete;
}

}  // namespace

void ExpectedPackageName(int count, const ItemNameTable& names, PathBuffer& out) {
  std::string name = "package[";
  const int n = std::clamp(count, 0, kMaxItems);
  for (int i = 0; i < n; ++i) {
    if (const char letter = item::Find(GetText(names[i])).nameLetter) name += letter;
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
  InputFile file;
  if (IsMissing(path) || !file.Open(path)) return -1;
  return file.Size(size) ? 0 : -1;
}

int JoinFiles(const char* target, std::initializer_list<const char*> sources, std::size_t* failed) {
  if (failed != nullptr) *failed = 0;
  OutputFile out(JobWork());
  if (IsMissing(target) || !out.Create(target)) return 1;
  std::size_t i = 0;
  for (const char* source : sources) {
    if (failed != nullptr) *failed = i++;
    if (IsMissing(source) || !CopyAll(source, out)) return 1;
  }
  if (failed != nullptr) *failed = sources.size();
  return out.Commit() ? 0 : 1;
}

}  // namespace quarnet
