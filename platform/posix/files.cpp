// Files and folders on POSIX systems: every name is resolved with the *at()
// calls against an open folder, never against a changed current directory.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/fault_step.h"
#include "platform/fault_step.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/settings.h"
#include "platform/staged.h"
#include "platform/posix/posix.h"
#include "platform/shared.h"
#include "platform/unique_names.h"

namespace quarnet::os {
namespace {

using posix::Run;
using posix::WriteOnce;

bool IsPlainFileMode(mode_t mode) { return S_ISREG(mode); }

}  // namespace

namespace posix {

int Fd(const Folder& folder) { return folder.IsOpen() ? static_cast<int>(folder.native()) : AT_FDCWD; }

Error CloseFd(int fd) {
  Error error = 0;
  if (detail::TakeStep(error) == detail::Step::kFailed) {
    ::close(fd);
    return error;
  }
  // Linux releases the descriptor even when close reports EINTR.
  return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view whole = path;
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : std::string(whole.substr(0, slash));
  name = slash == std::string::npos ? path : std::string(whole.substr(slash + 1));
}

Error Lock(int fd, int operation) {
  Error error = 0;
  return Run(error, [&] { return static_cast<long>(::flock(fd, operation)); }) < 0 ? error : 0;
}

}  // namespace posix

std::uint64_t detail::ProcessSeed() {
  return static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(::time(nullptr));
}

using posix::CloseFd;
using posix::Fd;

std::string detail::SystemErrorText(Error error) { return std::generic_category().message(error); }

std::string DescribeForUser(Error error) { return error > 0 ? std::generic_category().message(error) : std::string(); }

bool IsDiskFull(Error error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

void Folder::Reset(std::intptr_t handle, std::wstring path) {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = handle;
  path_ = std::move(path);
}

std::string SettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quarnet";
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] == '/' ? std::string(home) + "/.config/quarnet" : "";
}

Error detail::MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

std::string FolderOf(const std::string& path) {
  std::string folder;
  std::string name;
  posix::SplitPath(path, folder, name);
  return folder;
}

Error OpenFolder(const Folder& base, const std::string& path, Folder& out) {
  Error error = 0;
  long fd = Run(error, [&] { return ::openat(Fd(base), path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
#if defined(O_PATH)
  // A folder that may be written but not listed still takes new names.
  if (fd < 0 && error == EACCES)
    fd = Run(error, [&] { return ::openat(Fd(base), path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
#endif
  if (fd < 0) return error;
  out.Reset(fd);
  return 0;
}

Error OpenStartFolder(Folder& out) { return OpenFolder(Folder(), ".", out); }

Error Look(const Folder& base, const std::string& path, Entry& out) {
  out = Entry{};
  struct stat st {};
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fstatat(Fd(base), path.c_str(), &st, AT_SYMLINK_NOFOLLOW)); }) <
      0)
    return error == ENOENT || error == ENOTDIR ? 0 : error;
  out.kind = S_ISREG(st.st_mode)   ? Kind::kRegular
             : S_ISDIR(st.st_mode) ? Kind::kFolder
             : S_ISLNK(st.st_mode) ? Kind::kLink
                                   : Kind::kOther;
  out.size = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

void File::Reset(std::intptr_t handle) {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = handle;
}

Error File::Read(std::span<std::uint8_t> into, std::size_t& got) {
  got = 0;
  while (got < into.size()) {
    Error error = 0;
    const long n = Run(error, [&] { return static_cast<long>(::read(static_cast<int>(handle_), into.data() + got,
                                                                     into.size() - got)); });
    if (n < 0) return error;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

Error File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) {
  got = 0;
  while (got < into.size()) {
    if (offset + got > static_cast<std::uint64_t>(INT64_MAX)) return kTooLarge;
    Error error = 0;
    const long n = Run(error, [&] {
      return static_cast<long>(::pread(static_cast<int>(handle_), into.data() + got, into.size() - got,
                                       static_cast<off_t>(offset + got)));
    });
    if (n < 0) return error;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

Error File::Write(std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    Error error = 0;
    const long n = WriteOnce(error, bytes.size() - done, [&](std::size_t size) {
      return static_cast<long>(::write(static_cast<int>(handle_), bytes.data() + done, size));
    });
    if (n < 0) return error;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

Error File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX) - bytes.size()) return kTooLarge;
  for (std::size_t done = 0; done < bytes.size();) {
    Error error = 0;
    const long n = WriteOnce(error, bytes.size() - done, [&](std::size_t size) {
      return static_cast<long>(
          ::pwrite(static_cast<int>(handle_), bytes.data() + done, size, static_cast<off_t>(offset + done)));
    });
    if (n < 0) return error;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

Error File::Seek(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return kTooLarge;
  Error error = 0;
  return Run(error, [&] {
           return ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0 ? -1L : 0L;
         }) < 0
             ? error
             : 0;
}

Error File::Size(std::uint64_t& size) {
  struct stat st {};
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fstat(static_cast<int>(handle_), &st)); }) < 0) return error;
  size = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

Error File::Sync() {
  detail::NotePromise(Promise::kFileSync);
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fsync(static_cast<int>(handle_))); }) < 0) return error;
  return 0;
}

void File::StartWriteBack([[maybe_unused]] std::uint64_t offset, [[maybe_unused]] std::uint64_t length) {
#if defined(SYNC_FILE_RANGE_WRITE)
  ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(offset), static_cast<off_t>(length),
                    SYNC_FILE_RANGE_WRITE);
#endif
}

Error File::Close() {
  if (handle_ == -1) return 0;
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  detail::NotePromise(Promise::kClose);
  return CloseFd(fd);
}

Error OpenForReading(const Folder& base, const std::string& path, File& out) {
  Error error = 0;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  const long fd = Run(error, [&] {
    return static_cast<long>(::openat(Fd(base), path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  });
  if (fd < 0) return error;
  File file;
  file.Reset(fd);
  struct stat st {};
  if (Run(error, [&] { return static_cast<long>(::fstat(static_cast<int>(fd), &st)); }) < 0) return error;
  if (!IsPlainFileMode(st.st_mode)) return kNotRegularFile;
  out = std::move(file);
  return 0;
}

Error IsSameFile(const File& file, const Folder& base, const std::string& path, bool& same) {
  same = false;
  struct stat open {};
  struct stat named {};
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fstat(static_cast<int>(file.native()), &open)); }) < 0) return error;
  if (Run(error, [&] { return static_cast<long>(::fstatat(Fd(base), path.c_str(), &named, 0)); }) < 0)
    return error == ENOENT || error == ENOTDIR || error == ELOOP ? 0 : error;
  same = open.st_dev == named.st_dev && open.st_ino == named.st_ino;
  return 0;
}

Error Remove(const Folder& base, const std::string& path) {
  Error error = 0;
  return Run(error, [&] { return static_cast<long>(::unlinkat(Fd(base), path.c_str(), 0)); }) < 0 ? error : 0;
}

std::string NameProblem(std::string_view) { return {}; }

}  // namespace quarnet::os
