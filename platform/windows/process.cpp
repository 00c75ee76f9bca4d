// Private job folders, folder listings, standard output, the program's
// arguments and the console's stop events on Windows.
#include "platform/windows/win32.h"  // <windows.h> first: the other system headers need it

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/job_folder.h"
#include "platform/shared.h"
#include "platform/unique_names.h"
#include "platform/process.h"
#include "platform/staged.h"
#include "platform/stop_handlers.h"

namespace quarnet::os {
namespace {

using win::FromHandle;
using win::FullPath;
using win::Run;
using win::ToHandle;

constexpr char kLockName[] = "lock";
// A job folder without a lock file belongs to a job that died between
// making it and locking it, or to one that is making it right now; only
// one older than this is taken for the first.
constexpr std::uint64_t kUnlockedAge = 60ull * 10'000'000;  // in 100 ns

// The numbers the C library gives the console's events; Windows has no
// SIGHUP, whose number a closed console borrows.
constexpr int kSigHup = 1;
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;
constexpr int kSigBreak = 21;

std::atomic<int> g_stopSignal{0};
UINT g_consoleOutputCodePage = 0;

// Opens the lock file of `folder` with no sharing at all: while the handle
// is open, no one else can open it, so its job is alive.
File TakeLock(const Folder& folder, DWORD disposition, Error& error) {
  File lock;
  std::wstring full;
  if ((error = FullPath(folder, kLockName, full)) != 0) return lock;
  const HANDLE handle = win::Open(error, full, GENERIC_READ | GENERIC_WRITE | DELETE, 0, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, win::Busy::kFail);
  if (handle != INVALID_HANDLE_VALUE) lock.Reset(FromHandle(handle));
  return lock;
}

// Closes the lock, deleting its file with the last handle, so that its
// file never stands unheld. Should that fail, the file is left to the
// removal of the folder.
void DropLock(File& lock) {
  if (!lock.IsOpen()) return;
  FILE_DISPOSITION_INFO dispose{TRUE};
  ::SetFileInformationByHandle(ToHandle(lock.native()), FileDispositionInfo, &dispose, sizeof dispose);
  lock.Reset();
}


bool OlderThan(const Folder& folder, std::uint64_t age) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(ToHandle(folder.native()), &info)) return false;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](FILETIME t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return ticks(now) > ticks(info.ftCreationTime) + age;
}

// A job folder whose lock this process can hold: its job is gone. The
// lock is held in `lock`.
bool HoldStaleLock(const Folder& folder, File& lock) {
  Error error = 0;
  lock = TakeLock(folder, OPEN_EXISTING, error);
  if (!lock.IsOpen() && error == ENOENT && OlderThan(folder, kUnlockedAge))
    lock = TakeLock(folder, CREATE_NEW, error);
  return lock.IsOpen();
}

// Removes the remains of jobs that are gone: folders (not links) with the
// prefix whose lock no job holds.
void Sweep(const Folder& parent, std::string_view prefix) {
  std::vector<std::string> names;
  if (ListFolder(parent, names) != 0) return;
  for (const std::string& name : names) {
    if (name.rfind(prefix, 0) != 0) continue;
    Entry entry;
    Folder folder;
    File lock;
    if (Look(parent, name, entry) != 0 || entry.kind != Kind::kFolder || OpenFolder(parent, name, folder) != 0 ||
        !HoldStaleLock(folder, lock))
      continue;
    DropLock(lock);
    detail::RemoveTree(parent, name, folder);
  }
}

Error WriteAll(DWORD which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return EBADF;
  for (std::size_t done = 0; done < text.size();) {
    Error error = 0;
    DWORD n = 0;
    if (!win::WriteOnce(error, text.size() - done, n, [&](DWORD size) {
          return ::WriteFile(handle, text.data() + done, size, &n, nullptr) != 0;
        }))
      return error;
    done += n;
  }
  return 0;
}

void RestoreConsoleOutputCodePage() { ::SetConsoleOutputCP(g_consoleOutputCodePage); }

// Set while no job runs: a console that closes may end the process then.
HANDLE JobFinished() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return event;
}

BOOL WINAPI NoteStopEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: g_stopSignal.store(kSigInt); return TRUE;
    case CTRL_BREAK_EVENT: g_stopSignal.store(kSigBreak); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_stopSignal.store(event == CTRL_CLOSE_EVENT ? kSigHup : kSigTerm);
      // The system ends the process as this returns, and at the latest
      // after five seconds: the job has until then to remove its files.
      ::WaitForSingleObject(JobFinished(), 4500);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

Error ListFolder(const Folder& folder, std::vector<std::string>& names) {
  names.clear();
  std::wstring pattern;
  if (const Error error = FullPath(folder, ".", pattern)) return error;
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = INVALID_HANDLE_VALUE;
  Error error = 0;
  if (!Run(
          error,
          [&] {
            find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
            return find != INVALID_HANDLE_VALUE || ::GetLastError() == ERROR_FILE_NOT_FOUND;
          },
          win::Busy::kFail))
    return error;
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(win::Narrow(name));
  } while (::FindNextFileW(find, &data));
  const DWORD code = ::GetLastError();
  ::FindClose(find);
  return code == ERROR_NO_MORE_FILES ? 0 : win::FromSystem(code);
}

PrivateFolder::~PrivateFolder() { Remove(); }

Error PrivateFolder::Create(const Folder& base, const std::string& parentPath, std::string_view prefix,
                            std::string& where) {
  // Joined as the caller wrote the parent: with its backslashes, if any.
  const char last = parentPath.empty() ? '\0' : parentPath.back();
  const bool joined = parentPath == "." || last == '\\' || last == '/' || last == ':';
  const char* separator = parentPath.find('\\') != std::string::npos ? "\\" : "/";
  const std::string inParent = parentPath == "." ? "" : parentPath + (joined ? "" : separator);
  where = "mkdir " + inParent + std::string(prefix) + "XXXXXX";
  if (const Error error = OpenFolder(base, parentPath, parent_)) return error;
  Sweep(parent_, prefix);
  Error error = 0;
  bool made = false;
  std::wstring full;
  for (int i = 0; i < 100; ++i) {
    name_ = std::string(prefix) + detail::UniqueSuffix();
    if ((error = FullPath(parent_, name_, full)) != 0) break;
    made = Run(error, [&] { return ::CreateDirectoryW(full.c_str(), nullptr) != 0; }, win::Busy::kFail);
    if (made || error != EEXIST) break;
  }
  path_ = inParent + name_;
  if (made) {
    where = "open " + path_;
    error = OpenFolder(parent_, name_, folder_);
  }
  if (made && error == 0) {
    where = "lock " + path_;
    lock_ = TakeLock(folder_, CREATE_NEW, error);
  }
  if (made && error == 0) {
    // Hidden in the file manager too, as its leading dot hides it elsewhere.
    ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return 0;
  }
  DropLock(lock_);
  folder_.Reset();
  if (made) ::RemoveDirectoryW(full.c_str());
  name_.clear();
  return error;
}

Error PrivateFolder::Remove() {
  if (name_.empty()) return 0;
  DropLock(lock_);
  // One more try: a removal may fail for a moment (a file still busy).
  Error error = detail::RemoveTree(parent_, name_, folder_);
  if (error != 0) error = detail::RemoveTree(parent_, name_, folder_);
  name_.clear();
  folder_.Reset();
  return error;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(win::Narrow(wide[i]));
  ::LocalFree(wide);
  return args;
}

void PrepareStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  // The console's code page is the console's, shared with the shell: it
  // comes back when the program ends.
  const UINT current = ::GetConsoleOutputCP();
  if (current != 0 && current != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
    g_consoleOutputCodePage = current;
    std::atexit(RestoreConsoleOutputCodePage);
  }
}

Error WriteStandardOutput(std::string_view text) { return WriteAll(STD_OUTPUT_HANDLE, text); }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void detail::InstallStopHandlers() {
  ::ResetEvent(JobFinished());
  ::SetConsoleCtrlHandler(NoteStopEvent, TRUE);
}

void detail::RemoveStopHandlers() {
  ::SetConsoleCtrlHandler(NoteStopEvent, FALSE);
  ::SetEvent(JobFinished());
}

void StopSignals::CatchAgain() { ::SetConsoleCtrlHandler(NoteStopEvent, TRUE); }

StopsText DescribeStops() {
  return {"Ctrl-C, Ctrl-Break and closing the console",
          "130 stopped by Ctrl-C, 149 by Ctrl-Break, 129 by closing the console"};
}

// A console program ended by its console: the exit status documented for
// the stop signals.
void EndBySignal(int signalNumber) { ::ExitProcess(static_cast<UINT>(128 + signalNumber)); }

int StopSignal() noexcept { return g_stopSignal.load(); }
void ClearStopSignal() noexcept { g_stopSignal.store(0); }
int StopSignalNotifier() { return -1; }
void DrainStopSignalNotifier() {}

Error detail::RemoveEmptyFolder(const Folder& parent, const std::string& name) {
  std::wstring full;
  Error error = FullPath(parent, name, full);
  if (error == 0) Run(error, [&] { return ::RemoveDirectoryW(full.c_str()) != 0; });
  return error;
}

}  // namespace quarnet::os
