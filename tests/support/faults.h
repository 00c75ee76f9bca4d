#pragma once
// Fault injection for the tests: a job run in a forked child under a
// file-size limit, without root's privileges or with a small file system of
// its own; a gate that acts on a file at a chosen open. Linux only.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>

#include "package/output.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {

// Exit status of a child whose fault cannot be set up here (no privileges
// for a mount, for instance); the test is then skipped.
inline constexpr int kFaultUnavailable = 77;

struct ChildResult {
  int exitCode = -1;   // -1 when the child did not exit normally
  std::string output;  // what the child printed through the output channel
};

// Runs `body` in a forked child and returns its result as the exit status,
// with the lines it printed.
inline ChildResult RunInChild(const std::function<int()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string output;
    int code = 0;
    {
      const ScopedOutputSink sink([&output](std::string_view s) { output.append(s); });
      code = body();
    }
    for (std::size_t done = 0; done < output.size();) {
      const ssize_t n = ::write(fds[1], output.data() + done, output.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(code);
  }
  ::close(fds[1]);
  ChildResult r;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) r.output.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  return r;
}

// A full disk, as the writer sees it: no file may grow beyond `bytes`, and a
// write past that fails with EFBIG instead of killing the process.
inline void LimitFileSize(std::uint64_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Why a test that must run as nobody is skipped.
inline constexpr char kCannotRunAsNobody[] =
    "cannot run as nobody here: no privilege to change user, or the test's folder is out of nobody's reach";

// Root ignores permission bits, so a read-only folder refuses nothing to
// it: the process becomes nobody. Everything below `dirs`, the test's own
// folders, becomes readable to others first (the write bits that the test
// chose stay); the folders above them must let nobody pass, which a
// temporary folder under a private home may not. True when the process now
// runs without root and reaches every one of `dirs` (empty paths are left
// out).
inline bool DropRootPrivileges(std::initializer_list<std::filesystem::path> dirs) {
  if (::geteuid() != 0) return true;
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const fs::path& dir : dirs) {
    if (dir.empty()) continue;
    fs::permissions(dir, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add, ec);
    for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
      const auto bits = e.is_directory() ? fs::perms::others_read | fs::perms::others_exec : fs::perms::others_read;
      fs::permissions(e.path(), bits, fs::perm_options::add | fs::perm_options::nofollow, ec);
    }
  }
  constexpr uid_t kNobody = 65534;
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0)
    return false;
  for (const fs::path& dir : dirs) {
    if (!dir.empty() && ::access(dir.c_str(), R_OK | X_OK) != 0) return false;
  }
  return true;
}

// Mounts a tmpfs of `bytes` at `dir` in a mount namespace of the calling
// process's own (call it in a child): a small file system that fills up,
// seen by this process and its children only. False without the privilege.
inline bool MountSmallTmpfs(const std::filesystem::path& dir, std::uint64_t bytes) {
  const std::string options = "size=" + std::to_string(bytes);
  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// Holds every open of one file, by any process, until it has run `act`
// (for the `nth` open, counted from 1) or let it pass (all others). `act`
// returns false to refuse that open, as if the file had gone. Needs the
// privilege to watch file accesses (fanotify); ok() tells.
class OpenGate {
 public:
  OpenGate(const std::filesystem::path& file, int nth, std::function<bool()> act)
      : nth_(nth), act_(std::move(act)) {
    fd_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY);
    if (fd_ < 0) return;
    if (::pipe(stop_) != 0 || ::fanotify_mark(fd_, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, file.c_str()) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    thread_ = std::thread([this] { Watch(); });
  }
  ~OpenGate() {
    if (fd_ < 0) return;
    const char stop = 1;
    if (::write(stop_[1], &stop, 1) != 1) std::abort();
    thread_.join();
    // Closing the group lets any open that is still held pass.
    ::close(fd_);
    ::close(stop_[0]);
    ::close(stop_[1]);
  }
  OpenGate(const OpenGate&) = delete;
  OpenGate& operator=(const OpenGate&) = delete;

  bool ok() const { return fd_ >= 0; }
  int opens() const { return opens_; }

 private:
  void Watch() {
    alignas(fanotify_event_metadata) char buffer[4096];
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) return;
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      for (ssize_t left = n; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        const bool allow = ++opens_ != nth_ || act_();
        const fanotify_response response{event->fd, allow ? std::uint32_t{FAN_ALLOW} : std::uint32_t{FAN_DENY}};
        if (::write(fd_, &response, sizeof response) != sizeof response) std::abort();
        ::close(event->fd);
      }
    }
  }

  int fd_ = -1;
  int stop_[2] = {-1, -1};
  int nth_;
  std::function<bool()> act_;
  std::atomic<int> opens_{0};
  std::thread thread_;
};

// A fresh folder on the memory file system (empty path() when there is
// none), for outputs on another file system than the job's folder; removed
// with its contents.
class ShmDir {
 public:
  ShmDir() {
    std::string pattern = "/dev/shm/quarnet-test-XXXXXX";
    if (std::filesystem::is_directory("/dev/shm") && ::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ShmDir() {
    if (path_.empty()) return;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ec)) {
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  ShmDir(const ShmDir&) = delete;
  ShmDir& operator=(const ShmDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quarnet::test
