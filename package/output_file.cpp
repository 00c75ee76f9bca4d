#include "package/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "package/job_control.h"

namespace quarnet {
namespace {

enum class Standing { kNothing, kOwnFile, kFolder, kOther, kUnknown };

Standing Look(const char* path) {
  struct stat st {};
  if (::lstat(path, &st) != 0) return errno == ENOENT ? Standing::kNothing : Standing::kUnknown;
  if (S_ISDIR(st.st_mode)) return Standing::kFolder;
  return S_ISREG(st.st_mode) && st.st_nlink == 1 ? Standing::kOwnFile : Standing::kOther;
}

bool IsOwnFile(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

// Removes a link, a second name or a special file; gone already counts.
bool Remove(const char* path) {
  if (::unlink(path) == 0 || errno == ENOENT) return true;
  RecordSystemError("unlink", path, errno);
  return false;
}

// Opens the plain file standing at `path` without following a link or
// waiting on a FIFO: -1 with errno, or -2 when something else took the
// name meanwhile (look again).
int OpenInPlace(const char* path, int flags, bool truncate) {
  const int fd = ::open(path, flags | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno == ELOOP || errno == ENXIO || errno == ENOENT ? -2 : -1;
  if (!IsOwnFile(fd)) {
    ::close(fd);
    return -2;
  }
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || (truncate && ::ftruncate(fd, 0) != 0)) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace

bool FreeOutputName(const char* path) {
  switch (Look(path)) {
    case Standing::kNothing: return true;
    case Standing::kOther: return Remove(path) && Look(path) == Standing::kNothing;
    case Standing::kUnknown: RecordSystemError("stat", path, errno); return false;
    default: return false;
  }
}

FilePtr OpenOutputFile(const char* path, const char* mode) {
  const bool append = mode[0] == 'a';
  const int flags = (std::strchr(mode, '+') != nullptr ? O_RDWR : O_WRONLY) | (append ? O_APPEND : 0) | O_CLOEXEC |
                    O_NOCTTY;
  // Each turn either opens, fails, or finds that the name changed under it.
  for (int turn = 0; turn < 8; ++turn) {
    int fd = -1;
    switch (Look(path)) {
      case Standing::kUnknown: RecordSystemError("stat", path, errno); return nullptr;
      case Standing::kOther:
        if (!Remove(path)) return nullptr;
        continue;
      case Standing::kNothing:
        fd = ::open(path, flags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        break;
      case Standing::kOwnFile:
      case Standing::kFolder:  // refused by the open
        fd = OpenInPlace(path, flags, !append);
        if (fd == -2) continue;
        break;
    }
    if (fd < 0) {
      RecordSystemError("open", path, errno);
      return nullptr;
    }
    FilePtr file(::fdopen(fd, mode));
    if (!file) {
      RecordSystemError("open", path, errno);
      ::close(fd);
    }
    return file;
  }
  RecordSystemError("open", path, EAGAIN);
  return nullptr;
}

}  // namespace quarnet
