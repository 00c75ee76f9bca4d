// Private job folders, folder listings, standard output and the stop
// signals on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <iterator>
#include <string>

#include "platform/job_folder.h"
#include "platform/unique_names.h"
#include "platform/process.h"
#include "platform/staged.h"
#include "platform/posix/posix.h"
#include "platform/shared.h"
#include "platform/stop_handlers.h"

namespace quarnet::os {
namespace {

using posix::Fd;
using posix::Lock;
using posix::Run;

constexpr char kLockName[] = "lock";
constexpr int kStopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_stopSignal{0};
std::atomic<int> g_notifyWrite{-1};
int g_notifyRead = -1;
struct sigaction g_previous[std::size(kStopSignalNumbers)];
struct sigaction g_previousPipe;

extern "C" void NoteStopSignal(int signalNumber) {
  const int saved = errno;
  int none = 0;
  g_stopSignal.compare_exchange_strong(none, signalNumber);
  const int fd = g_notifyWrite.load();
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved;
}


// A job folder of this user whose lock this process can hold: its job is
// gone. One without a lock file lost its job between making the folder and
// locking it (the caller's exclusive lock on the parent rules out a job at
// that point now); it gets a lock file to hold. The lock is held in `lock`.
bool HoldStaleLock(const Folder& parent, const std::string& name, Folder& folder, File& lock) {
  struct stat st {};
  Error error = 0;
  if (Run(error, [&] { return static_cast<long>(::fstatat(Fd(parent), name.c_str(), &st, AT_SYMLINK_NOFOLLOW)); }) <
          0 ||
      !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
    return false;
  if (OpenFolder(parent, name, folder) != 0) return false;
  long fd = Run(error, [&] {
    return static_cast<long>(::openat(Fd(folder), kLockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  });
  if (fd < 0 && error == ENOENT)
    fd = Run(error, [&] {
      return static_cast<long>(::openat(Fd(folder), kLockName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    });
  if (fd < 0) return false;
  lock.Reset(fd);
  return Lock(static_cast<int>(fd), LOCK_EX | LOCK_NB) == 0;
}

// Removes the remains of jobs that are gone, unless another job is making
// its folder in `parent` at this moment (it then sweeps another time).
void Sweep(const Folder& parent, std::string_view prefix) {
  if (Lock(Fd(parent), LOCK_EX | LOCK_NB) != 0) return;
  std::vector<std::string> names;
  ListFolder(parent, names);
  for (const std::string& name : names) {
    if (name.rfind(prefix, 0) != 0) continue;
    Folder folder;
    File lock;
    if (HoldStaleLock(parent, name, folder, lock)) detail::RemoveTree(parent, name, folder);
  }
  Lock(Fd(parent), LOCK_UN);
}

}  // namespace

Error ListFolder(const Folder& folder, std::vector<std::string>& names) {
  names.clear();
  Error error = 0;
  const long fd = Run(error, [&] { return static_cast<long>(::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); });
  if (fd < 0) return error;
  DIR* dir = ::fdopendir(static_cast<int>(fd));
  if (dir == nullptr) {
    error = errno;
    ::close(static_cast<int>(fd));
    return error;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  error = errno;
  ::closedir(dir);
  return error;
}

PrivateFolder::~PrivateFolder() { Remove(); }

Error PrivateFolder::Create(const Folder& base, const std::string& parentPath, std::string_view prefix,
                            std::string& where) {
  const std::string inParent = parentPath == "." ? "" : parentPath + "/";
  where = "mkdir " + inParent + std::string(prefix) + "XXXXXX";
  if (const Error error = OpenFolder(base, parentPath, parent_)) return error;
  // A parent that can be written but not listed gets no sweep.
  Sweep(parent_, prefix);
  // Shared: jobs make folders side by side, a sweep waits for them.
  const bool shared = Lock(Fd(parent_), LOCK_SH) == 0;
  Error error = 0;
  for (int i = 0; i < 100; ++i) {
    name_ = std::string(prefix) + detail::UniqueSuffix();
    error = 0;
    if (Run(error, [&] { return static_cast<long>(::mkdirat(Fd(parent_), name_.c_str(), 0700)); }) == 0 ||
        error != EEXIST)
      break;
  }
  path_ = inParent + name_;
  if (error == 0) {
    where = "open " + path_;
    error = OpenFolder(parent_, name_, folder_);
  }
  if (error == 0) {
    where = "lock " + path_;
    const long fd = Run(error, [&] {
      return static_cast<long>(::openat(Fd(folder_), kLockName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    });
    if (fd >= 0) lock_.Reset(fd);
    if (fd >= 0) error = Lock(static_cast<int>(fd), LOCK_EX | LOCK_NB);
  }
  if (shared) Lock(Fd(parent_), LOCK_UN);
  if (error == 0) return 0;
  if (folder_.IsOpen()) ::unlinkat(Fd(folder_), kLockName, 0);
  folder_.Reset();
  if (!name_.empty()) ::unlinkat(Fd(parent_), name_.c_str(), AT_REMOVEDIR);
  name_.clear();
  lock_.Reset();
  return error;
}

Error PrivateFolder::Remove() {
  if (name_.empty()) return 0;
  // One more try: a removal may fail for a moment (a file still busy).
  Error error = detail::RemoveTree(parent_, name_, folder_);
  if (error != 0) error = detail::RemoveTree(parent_, name_, folder_);
  name_.clear();
  folder_.Reset();
  lock_.Reset();
  return error;
}

namespace {

Error WriteAll(int fd, std::string_view text) {
  for (std::size_t done = 0; done < text.size();) {
    Error error = 0;
    const long n = posix::WriteOnce(error, text.size() - done, [&](std::size_t size) {
      return static_cast<long>(::write(fd, text.data() + done, size));
    });
    if (n < 0) return error;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

// POSIX streams have no text mode, and a terminal takes the bytes as they are.
void PrepareStandardStreams() {}

Error WriteStandardOutput(std::string_view text) { return WriteAll(STDOUT_FILENO, text); }
bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void detail::InstallStopHandlers() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    g_notifyRead = fds[0];
    g_notifyWrite.store(fds[1]);
  }
  for (std::size_t i = 0; i < std::size(kStopSignalNumbers); ++i)
    ::sigaction(kStopSignalNumbers[i], nullptr, &g_previous[i]);
  StopSignals::CatchAgain();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &g_previousPipe);
}

void detail::RemoveStopHandlers() {
  for (std::size_t i = 0; i < std::size(kStopSignalNumbers); ++i)
    ::sigaction(kStopSignalNumbers[i], &g_previous[i], nullptr);
  ::sigaction(SIGPIPE, &g_previousPipe, nullptr);
  const int write = g_notifyWrite.exchange(-1);
  if (write >= 0) ::close(write);
  if (g_notifyRead >= 0) ::close(g_notifyRead);
  g_notifyRead = -1;
}

void StopSignals::CatchAgain() {
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  action.sa_flags = 0;  // no SA_RESTART: a blocking call returns, and the job stops
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : kStopSignalNumbers) ::sigaction(signalNumber, &action, nullptr);
}

StopsText DescribeStops() {
  return {"SIGINT, SIGTERM and SIGHUP", "128+N stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP)"};
}

void EndBySignal(int signalNumber) {
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
  ::_exit(128 + signalNumber);
}

int StopSignal() noexcept { return g_stopSignal.load(); }
void ClearStopSignal() noexcept { g_stopSignal.store(0); }
int StopSignalNotifier() { return g_notifyRead; }

void DrainStopSignalNotifier() {
  char buffer[64];
  while (g_notifyRead >= 0 && ::read(g_notifyRead, buffer, sizeof buffer) > 0) {
  }
}

Error detail::RemoveEmptyFolder(const Folder& parent, const std::string& name) {
  Error error = 0;
  return Run(error, [&] { return static_cast<long>(::unlinkat(Fd(parent), name.c_str(), AT_REMOVEDIR)); }) < 0 ? error : 0;
}

}  // namespace quarnet::os
