#include "basic/staged_file.h"

#include <climits>
#include <cstdio>
#include <string>
#include <system_error>

#include "package/file_copy.h"

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

bool NameIsFree(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found;
}

}  // namespace

// An unnamed file beside the target can take the target's name at no cost.
// Where there cannot be one, an unnamed file in the system's temporary
// folder takes its place and is copied at the end.
StagedFile::StagedFile(std::filesystem::path path) : path_(std::move(path)) {
  file_ = UnnamedFileIn(path_.has_parent_path() ? path_.parent_path() : std::filesystem::path("."));
  beside_ = file_ != nullptr;
  if (!file_) file_.reset(std::tmpfile());
  // Every write goes straight to the file, so that each failure shows at once.
  if (file_) std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

bool StagedFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  return offset <= LONG_MAX && std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fwrite(data, 1, size, file_.get()) == size;
}

bool StagedFile::Install(std::uint64_t size) {
  if (beside_ && NameIsFree(path_) && Link(file_.get(), path_)) return true;
  FilePtr out = OpenFile(path_.string().c_str(), "w+b");
  if (!out) return false;
  const bool copied = CopyFileBytes(file_.get(), 0, out.get(), size) == size;
  if (std::fclose(out.release()) == 0 && copied) return true;
  std::remove(path_.string().c_str());
  return false;
}

}  // namespace quarnet
