#include "repack/work_dir.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "package/job_control.h"

namespace quarnet {
namespace {

namespace fs = std::filesystem;

constexpr char kFolderPrefix[] = ".quarnet-job-";
constexpr char kLockName[] = "lock";

// The folder that will hold `outputPath`, absolute.
fs::path OutputFolder(const std::string& outputPath) {
  fs::path folder = fs::path(outputPath).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder, ec);
  return ec ? folder : absolute;
}

// A job folder of this user whose job is gone: its lock is free, or it has
// none (its job died between making it and locking it; the caller's lock on
// the output's folder rules out a job that is at that point now). Anything
// that cannot be told for sure is kept.
bool IsStale(const fs::path& folder) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  const int fd = ::open((folder / kLockName).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// Removes the stale job folders in `parent`, unless another job is making
// its folder there at this moment (it then sweeps another time).
void SweepStaleFolders(const fs::path& parent, int parentFd) {
  if (::flock(parentFd, LOCK_EX | LOCK_NB) != 0) return;
  std::vector<fs::path> stale;
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().rfind(kFolderPrefix, 0) == 0 && IsStale(it->path()))
      stale.push_back(it->path());
  }
  for (const fs::path& folder : stale) fs::remove_all(folder, ec);
  ::flock(parentFd, LOCK_UN);
}

}  // namespace

PrivateWorkDir::PrivateWorkDir(const std::string& outputPath) {
  std::error_code ec;
  previous_ = fs::current_path(ec);
  if (ec) {
    RecordSystemError("getcwd", ".", ec.value());
    return;
  }
  const fs::path parent = OutputFolder(outputPath);
  // A folder that cannot be opened for reading may still take new entries:
  // the job then goes without the sweep, and making its folder says why
  // when that fails too.
  const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd >= 0) SweepStaleFolders(parent, parentFd);
  const bool made = Create(parent, parentFd);
  if (parentFd >= 0) ::close(parentFd);
  if (!made) return;
  fs::current_path(path_, ec);
  if (ec) {
    RecordSystemError("chdir", path_.string(), ec.value());
    fs::remove_all(path_, ec);
    path_.clear();
  }
}

// Makes the folder and its locked lock file, holding the output folder's
// lock shared meanwhile: jobs may make folders side by side, a sweep waits.
bool PrivateWorkDir::Create(const fs::path& parent, int parentFd) {
  const bool sharing = parentFd >= 0 && ::flock(parentFd, LOCK_SH) == 0;
  const std::string pattern = (parent / (std::string(kFolderPrefix) + "XXXXXX")).string();
  std::string folder = pattern;
  bool made = ::mkdtemp(folder.data()) != nullptr;
  if (!made) {
    RecordSystemError("mkdir", pattern, errno);
  } else {
    const fs::path lock = fs::path(folder) / kLockName;
    lockFd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const int error = errno;
    // Without lock support on this file system the folder just is never
    // taken for stale.
    if (lockFd_ >= 0) ::flock(lockFd_, LOCK_EX | LOCK_NB);
    made = lockFd_ >= 0;
    if (!made) {
      RecordSystemError("open", lock.string(), error);
      ::rmdir(folder.c_str());
    }
  }
  if (sharing) ::flock(parentFd, LOCK_UN);
  if (made) path_ = folder;
  return made;
}

PrivateWorkDir::~PrivateWorkDir() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::remove_all(path_, ec);
  ::close(lockFd_);
}

}  // namespace quarnet
