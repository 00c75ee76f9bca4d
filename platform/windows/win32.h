#pragma once
// Helpers shared by the Windows implementation of the seam. Every name the
// program gives is UTF-8; it meets the system only as an absolute UTF-16
// path made here, in the \\?\ form when it is long.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fault_step.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/staged.h"
#include "platform/final_names.h"
#include "platform/text.h"

namespace quarnet::os::win {

// What stands at `path`; one step of the fault plan.
Error Examine(const std::wstring& path, Node& out);

// The errno number, or a kind of the seam's own, for a system error code.
Error FromSystem(DWORD code);

// The absolute path of `path`, relative to `base` (or to the current
// folder when `base` is empty), with "." and ".." resolved. Paths that
// would reach MAX_PATH get the \\?\ form, which has no such limit.
Error FullPath(const Folder& base, const std::string& path, std::wstring& out);

// "a\b/c" into "a\b" and "c"; see os::FolderOf.
void SplitPath(const std::string& path, std::string& folder, std::string& name);


inline HANDLE ToHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }
inline std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }


// Whether to wait for another program that holds a file.
enum class Busy { kRetry, kFail };

// True for the failures that another program causes for a moment: a
// virus scanner, an indexer or a backup that opened the file.
bool IsBusy(DWORD code);
// The wait before attempt `attempt` (from 2): growing, about a second in all.
constexpr int kAttempts = 10;
DWORD RetryDelay(int attempt);
// The error after the last attempt failed with `code`.
Error AfterRetries(DWORD code);

// Runs `call` (true on success, the reason in GetLastError otherwise) as
// one step of the fault plan. Failures of the kind IsBusy are retried,
// unless a stop signal came meanwhile.
template <class Call>
bool Run(Error& error, Call call, Busy busy = Busy::kRetry) {
  if (detail::TakeStep(error) == detail::Step::kFailed) return false;
  for (int attempt = 1;; ++attempt) {
    if (call()) return true;
    const DWORD code = ::GetLastError();
    const bool retry = busy == Busy::kRetry && IsBusy(code);
    if (retry && attempt < kAttempts && StopSignal() == 0) {
      ::Sleep(RetryDelay(attempt + 1));
      continue;
    }
    error = retry ? AfterRetries(code) : FromSystem(code);
    return false;
  }
}

// One write call of up to `size` bytes (a short-write plan halves it);
// false with `error` set. A write that takes nothing fails with EIO.
template <class Call>
bool WriteOnce(Error& error, std::size_t size, DWORD& written, Call call) {
  switch (detail::TakeStep(error, true)) {
    case detail::Step::kFailed: return false;
    case detail::Step::kWriteHalf: size = size > 1 ? size / 2 : size; break;
    case detail::Step::kGoOn: break;
  }
  constexpr std::size_t kMaxCall = std::size_t{1} << 30;
  written = 0;
  if (!call(static_cast<DWORD>(size < kMaxCall ? size : kMaxCall))) {
    error = FromSystem(::GetLastError());
    return false;
  }
  if (written == 0) {
    error = EIO;
    return false;
  }
  return true;
}

// Opens `path` with CreateFileW as one step of the fault plan.
HANDLE Open(Error& error, const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
            Busy busy = Busy::kRetry);

}  // namespace quarnet::os::win
