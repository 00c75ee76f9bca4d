// Staged files and the replacing rename on POSIX systems. A staged file is
// unnamed (O_TMPFILE) where the file system allows it, so that even a killed
// process leaves nothing behind; elsewhere (vfat, exFAT, NFS, CIFS) it has a
// unique hidden name beside its final name. Commit gives it a hidden name
// if it has none, syncs it, and renames it over the final name.
//
// A hidden name that a killed process left is removed when a file of the
// same final name is staged next. A staged file with a name holds an
// exclusive flock on its descriptor from before its name is seen until
// after its rename, so the sweep, which takes that lock first, never
// removes a live one. A named file is made under a shared flock of its
// folder, which the sweep takes exclusively: no file is seen by a sweep
// between its making and its lock. Where the file system has no flock,
// nothing is swept.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/fault_step.h"
#include "platform/unique_names.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/staged.h"
#include "platform/posix/posix.h"

namespace quarnet::os {
namespace {

using posix::Fd;
using detail::HiddenName;
using posix::Lock;
using posix::Run;

constexpr int kNameTries = 100;

// An unnamed file can be linked only through /proc.
bool CanLinkUnnamed() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Runs `make` with fresh hidden names for `name` until one is free.
template <class Make>
Error WithHiddenName(const std::string& name, std::string& hidden, Make make) {
  Error error = EEXIST;
  for (int i = 0; i < kNameTries && error == EEXIST; ++i) {
    hidden = HiddenName(name);
    error = 0;
    if (make(hidden, error) >= 0) return 0;
  }
  hidden.clear();
  return error;
}

// Cleanup after a failure: best effort, outside the fault plan.
void DropName(const Folder& folder, std::string& name) {
  if (!name.empty()) ::unlinkat(Fd(folder), name.c_str(), 0);
  name.clear();
}

// Holds in `held` the lock of `candidate`, a regular file of this user in
// `folder`: false when another process holds it (or it is not such a file).
bool HoldStale(const Folder& folder, const std::string& candidate, File& held) {
  Error error = 0;
  const long fd = Run(error, [&] {
    return static_cast<long>(
        ::openat(Fd(folder), candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  });
  if (fd < 0) return false;
  held.Reset(fd);
  struct stat st {};
  return Run(error, [&] { return static_cast<long>(::fstat(static_cast<int>(fd), &st)); }) == 0 &&
         S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && Lock(static_cast<int>(fd), LOCK_EX | LOCK_NB) == 0;
}

// Removes the hidden names of `name` in `folder` that no live staged file
// holds, unless a staged file is being made there at this moment.
void SweepStale(const Folder& folder, const std::string& name) {
  if (Lock(Fd(folder), LOCK_EX | LOCK_NB) != 0) return;
  std::vector<std::string> names;
  ListFolder(folder, names);
  for (const std::string& candidate : names) {
    File held;
    if (detail::IsHiddenNameOf(candidate, name) && HoldStale(folder, candidate, held)) Remove(folder, candidate);
  }
  Lock(Fd(folder), LOCK_UN);
}

// Syncs a folder after a rename in it. A folder that cannot be synced by
// nature (opened for its names only, or a file system without it) is no
// failure.
Error SyncFolder(const Folder& folder) {
  detail::NotePromise(Promise::kFolderSync);
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fsync(Fd(folder))); }) == 0) return 0;
  return error == EINVAL || error == EBADF || error == EROFS ? 0 : error;
}

// Refuses a target that is not a plain file or link, and passes a plain
// file's permissions on to `from`.
Error PrepareTarget(const Folder& fromFolder, const std::string& from, const Folder& toFolder,
                    const std::string& to) {
  struct stat st {};
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fstatat(Fd(toFolder), to.c_str(), &st, AT_SYMLINK_NOFOLLOW)); }) <
      0)
    return error == ENOENT ? 0 : error;
  if (S_ISLNK(st.st_mode)) return 0;
  if (!S_ISREG(st.st_mode)) return kNotPlainTarget;
  return Run(error, [&] { return static_cast<long>(::fchmodat(Fd(fromFolder), from.c_str(), st.st_mode & 07777, 0)); }) < 0
             ? error
             : 0;
}

Committed ReplaceIn(const Folder& fromFolder, const std::string& from, const Folder& toFolder, const std::string& to,
                    bool durable = true) {
  Committed c;
  if ((c.error = PrepareTarget(fromFolder, from, toFolder, to)) != 0) return c;
  detail::NotePromise(durable ? Promise::kDurableRename : Promise::kScratchRename);
  if (Run(c.error, [&] {
        return static_cast<long>(::renameat(Fd(fromFolder), from.c_str(), Fd(toFolder), to.c_str()));
      }) < 0)
    return c;
  if (durable) c.warning = SyncFolder(toFolder);
  return c;
}

}  // namespace

StagedFile::~StagedFile() { Discard(); }

// The name goes before the descriptor, so that it never stands unlocked.
void StagedFile::Discard() {
  DropName(folder_, temporary_);
  file_.Reset();
}

Error StagedFile::Create(const Folder& base, const std::string& path) {
  Discard();
  std::string folder;
  posix::SplitPath(path, folder, name_);
  if (name_.empty() || name_ == "." || name_ == "..") return EISDIR;
  if (const Error error = OpenFolder(base, folder, folder_)) return error;
  SweepStale(folder_, name_);
  Error error = 0;
#if defined(O_TMPFILE)
  if (CanLinkUnnamed()) {
    const long fd = Run(error, [&] {
      return static_cast<long>(::openat(Fd(folder_), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    });
    if (fd >= 0) {
      file_.Reset(fd);
      return 0;
    }
    if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL) return error;
  }
#endif
  const bool shared = Lock(Fd(folder_), LOCK_SH) == 0;
  error = WithHiddenName(name_, temporary_, [&](const std::string& hidden, Error& e) {
    const long fd = Run(e, [&] {
      return static_cast<long>(
          ::openat(Fd(folder_), hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    });
    if (fd >= 0) file_.Reset(fd);
    if (fd >= 0) Lock(static_cast<int>(fd), LOCK_EX | LOCK_NB);
    return fd;
  });
  if (shared) Lock(Fd(folder_), LOCK_UN);
  return error;
}

Committed StagedFile::Commit(bool durable) {
  Committed c;
  if (!file_.IsOpen()) {
    c.error = EBADF;
    return c;
  }
  if (durable) c.error = file_.Sync();
  if (c.error == 0 && temporary_.empty()) {
    Lock(static_cast<int>(file_.native()), LOCK_EX | LOCK_NB);
    const std::string self = "/proc/self/fd/" + std::to_string(file_.native());
    c.error = WithHiddenName(name_, temporary_, [&](const std::string& hidden, Error& e) {
      return Run(e, [&] {
        return static_cast<long>(::linkat(AT_FDCWD, self.c_str(), Fd(folder_), hidden.c_str(), AT_SYMLINK_FOLLOW));
      });
    });
  }
  // A second descriptor keeps the lock from the close, which reports the
  // last write errors, until the rename is done.
  File keep;
  Error ignored = 0;
  if (c.error == 0)
    keep.Reset(Run(ignored, [&] { return ::fcntl(static_cast<int>(file_.native()), F_DUPFD_CLOEXEC, 0); }));
  if (c.error == 0) c.error = file_.Close();
  if (c.error == 0) c = ReplaceIn(folder_, temporary_, folder_, name_, durable);
  if (c.error != 0) {
    Discard();
    return c;
  }
  temporary_.clear();
  return c;
}

Committed Replace(const Folder& fromBase, const std::string& from, const Folder& toBase, const std::string& to) {
  std::string folder;
  std::string name;
  posix::SplitPath(to, folder, name);
  Folder toFolder;
  Committed c;
  if ((c.error = OpenFolder(toBase, folder, toFolder)) != 0) return c;
  return ReplaceIn(fromBase, from, toFolder, name);
}

}  // namespace quarnet::os
