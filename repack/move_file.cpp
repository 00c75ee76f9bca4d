#include "repack/move_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/file_copy.h"
#include "package/job_control.h"

namespace quarnet {
namespace {

// The engine's block copy, from `in` to its end.
bool CopyContents(int in, const char* inName, int out, const std::string& outName) {
  FdSource source(in, inName);
  WriteSink sink(out, outName, kToEnd);
  return sink.ok() && CopyBlocks(source, sink, kToEnd).complete;
}

// The process's file mode creation mask, read without changing it: setting
// it to learn it would race with files that other threads create meanwhile.
// Without the kernel's "Umask:" line, the common 022.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// Makes a rename in the folder of `path` survive a power loss. A folder
// that cannot be opened for reading is left to the file system; one that
// cannot be synced at all (EINVAL) is no failure either.
int SyncFolderOf(const char* path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result == 0 || error == EINVAL) return 0;
  RecordSystemError("fsync", folder, error);
  return -1;
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
  if (in < 0) {
    RecordSystemError("open", from, errno);
    return -1;
  }
  std::string temp = TemporaryNameBeside(to);
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    RecordSystemError("open", temp, errno);
    ::close(in);
    return -1;
  }
  // mkostemp creates the file 0600; give it the mode a new file gets.
  bool ok = CopyContents(in, from, out, temp) && ::fchmod(out, 0666 & ~CurrentUmask()) == 0;
  if (ok && ::fsync(out) != 0) {
    RecordSystemError("fsync", temp, errno);
    ok = false;
  }
  ::close(in);
  if (::close(out) != 0 && ok) {
    RecordSystemError("close", temp, errno);
    ok = false;
  }
  if (ok && std::rename(temp.c_str(), to) != 0) {
    RecordSystemError("rename", to, errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return -1;
  }
  ::unlink(from);
  return SyncFolderOf(to);
}

}  // namespace

int MoveReplacing(const char* from, const char* to) {
  if (std::rename(from, to) == 0) return SyncFolderOf(to);
  if (errno != EXDEV) {
    RecordSystemError("rename", to, errno);
    return -1;
  }
  return CopyIntoPlace(from, to);
}

}  // namespace quarnet
