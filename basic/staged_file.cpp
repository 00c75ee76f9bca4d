#include "basic/staged_file.h"

#include <climits>
#include <cstdio>
#include <string>

#include "package/file_copy.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quarnet {

#if defined(__linux__)

// An unnamed file in the target's folder (O_TMPFILE) can later be linked
// under the target's name, which costs nothing. Where the file system or the
// folder does not allow one, an unnamed file in the system's temporary
// folder takes its place and is copied at the end.
StagedFile::StagedFile(std::filesystem::path path) : path_(std::move(path)) {
  const std::filesystem::path folder = path_.has_parent_path() ? path_.parent_path() : ".";
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd >= 0) {
    file_.reset(::fdopen(fd, "w+b"));
    if (file_) {
      beside_ = true;
      return;
    }
    ::close(fd);
  }
  file_.reset(std::tmpfile());
}

bool StagedFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  const int fd = ::fileno(file_.get());
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    offset += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool StagedFile::Install(std::uint64_t size) {
  struct stat st;
  if (beside_ && ::lstat(path_.c_str(), &st) != 0 && errno == ENOENT) {
    const std::string self = "/proc/self/fd/" + std::to_string(::fileno(file_.get()));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  }
  return CopyOverName(size);
}

#else

StagedFile::StagedFile(std::filesystem::path path) : path_(std::move(path)), file_(std::tmpfile()) {}

bool StagedFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  return offset <= LONG_MAX && std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fwrite(data, 1, size, file_.get()) == size;
}

bool StagedFile::Install(std::uint64_t size) { return CopyOverName(size); }

#endif

bool StagedFile::CopyOverName(std::uint64_t size) {
  FilePtr out = OpenFile(path_.string().c_str(), "w+b");
  if (!out) return false;
  const bool copied = CopyFileBytes(file_.get(), 0, out.get(), size) == size;
  if (std::fclose(out.release()) == 0 && copied) return true;
  std::remove(path_.string().c_str());
  return false;
}

}  // namespace quarnet
