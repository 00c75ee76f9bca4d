#pragma once
// Helpers shared by the POSIX implementation of the seam.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/staged.h"

namespace quarnet::os::posix {

// The descriptor of `folder`; the starting folder is AT_FDCWD.
int Fd(const Folder& folder);
// Closes `fd` as one call of the fault plan.
Error CloseFd(int fd);
// "a/b/c" into "a/b" and "c"; a bare name lies in ".".
void SplitPath(const std::string& path, std::string& folder, std::string& name);
// flock(2) as one call of the fault plan.
Error Lock(int fd, int operation);

}  // namespace quarnet::os::posix

#include <cerrno>

#include "platform/fault_step.h"

namespace quarnet::os::posix {

// Runs one system call unless the fault plan fails it; -1 with `error` set
// on failure. EINTR is retried unless a stop signal interrupted the call.
template <class Call>
long Run(Error& error, Call call) {
  if (detail::TakeStep(error) == detail::Step::kFailed) return -1;
  for (;;) {
    const long r = call();
    if (r >= 0) return r;
    if (errno == EINTR && StopSignal() == 0) continue;
    error = errno;
    return -1;
  }
}

// One write call of up to `size` bytes (a short-write plan halves it);
// returns the bytes taken, or -1 with `error` set. A write that takes
// nothing fails with EIO rather than loop for ever.
template <class Call>
long WriteOnce(Error& error, std::size_t size, Call call) {
  switch (detail::TakeStep(error, true)) {
    case detail::Step::kFailed: return -1;
    case detail::Step::kWriteHalf: size = size > 1 ? size / 2 : size; break;
    case detail::Step::kGoOn: break;
  }
  for (;;) {
    const long r = call(size);
    if (r > 0) return r;
    if (r == 0) {
      error = EIO;
      return -1;
    }
    if (errno == EINTR && StopSignal() == 0) continue;
    error = errno;
    return -1;
  }
}

}  // namespace quarnet::os::posix
