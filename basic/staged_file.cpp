#include "basic/staged_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <system_error>

#include "package/file_copy.h"
#include "package/job_control.h"
#include "package/output_file.h"

#if defined(__linux__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quarnet {
namespace {

#if defined(__linux__)

// An unnamed file in `folder` (O_TMPFILE), or null where the file system or
// the folder's permissions do not allow one.
FilePtr UnnamedFileIn(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FilePtr file(::fdopen(fd, "w+b"));
  if (!file) ::close(fd);
  return file;
}

// Gives an unnamed file of UnnamedFileIn the name `path`, in the same folder.
bool Link(std::FILE* file, const std::filesystem::path& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(::fileno(file));
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

#else

FilePtr UnnamedFileIn(const std::filesystem::path&) { return nullptr; }
bool Link(std::FILE*, const std::filesystem::path&) { return false; }

#endif

}  // namespace

// An unnamed file beside the target can take the target's name at no cost.
// Where there cannot be one, an unnamed file in the system's temporary
// folder takes its place and is copied at the end.
StagedFile::StagedFile(std::filesystem::path path) : path_(std::move(path)) {
  file_ = UnnamedFileIn(path_.has_parent_path() ? path_.parent_path() : std::filesystem::path("."));
  beside_ = file_ != nullptr;
  if (!file_) file_.reset(std::tmpfile());
  if (!file_) RecordSystemError("open", "a temporary file for " + path_.string(), errno);
  // Every write goes straight to the file, so that each failure shows at once.
  if (file_) std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

bool StagedFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  if (offset > LONG_MAX || std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
    RecordSystemError("seek", path_.string(), offset > LONG_MAX ? EOVERFLOW : errno);
    return false;
  }
  if (std::fwrite(data, 1, size, file_.get()) == size) return true;
  RecordSystemError("write", path_.string(), errno);
  return false;
}

bool StagedFile::Install(std::uint64_t size) {
  const std::string name = path_.string();
  // A link or a second name standing there gives way; a failed link (the
  // name taken meanwhile, no /proc) falls back to the copy.
  if (beside_ && FreeOutputName(name.c_str()) && Link(file_.get(), path_)) return true;
  FilePtr out = OpenOutputFile(name.c_str(), "w+b");
  if (!out) return false;
  const bool copied = CopyFileBytes(file_.get(), "the new " + name, 0, out.get(), name, size) == size;
  const bool closed = std::fclose(out.release()) == 0;
  if (!closed) RecordSystemError("close", name, errno);
  if (closed && copied) return true;
  std::remove(name.c_str());
  return false;
}

}  // namespace quarnet
