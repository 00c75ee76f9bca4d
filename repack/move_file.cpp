#include "repack/move_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "package/file_copy.h"

namespace quarnet {
namespace {

// The engine's block copy, from `in` to its end.
bool CopyContents(int in, const char* inName, int out, const std::string& outName) {
  FdSource source(in, inName);
  WriteSink sink(out, outName, kToEnd);
  return sink.ok() && CopyBlocks(source, sink, kToEnd).complete;
}

// A hidden name beside `target` for mkostemp, cut to the 255 bytes that a
// file name may have however long the target's name is.
std::string TemporaryNameBeside(const std::filesystem::path& target) {
  constexpr std::size_t kMaxName = 255;
  constexpr char kUnique[] = ".XXXXXX";
  std::string name = ".";
  name.append(target.filename().string());
  name.resize(std::min(name.size(), kMaxName - (sizeof(kUnique) - 1)));
  name.append(kUnique);
  return (target.parent_path() / name).string();
}

// Copies `from` into a fresh temporary file beside `to` and renames it over
// `to`. The temporary file never outlives a failure.
int CopyIntoPlace(const char* from, const char* to) {
  const int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return -1;
  std::string temp = TemporaryNameBeside(to);
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    ::close(in);
    return -1;
  }
  // mkostemp creates the file 0600; give it the mode a new file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = CopyContents(in, from, out, temp) && ::fchmod(out, 0666 & ~mask) == 0 && ::fsync(out) == 0;
  ::close(in);
  ok = ::close(out) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), to) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return -1;
  }
  ::unlink(from);
  return 0;
}

}  // namespace

int MoveReplacing(const char* from, const char* to) {
  if (std::rename(from, to) == 0) return 0;
  if (errno != EXDEV) return -1;
  return CopyIntoPlace(from, to);
}

}  // namespace quarnet
