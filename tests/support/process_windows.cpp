// Runs one of the project's executables on Windows: standard output and
// error go to files, and the command line is quoted so that the program's
// CommandLineToArgvW gives back every argument as it was.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  // Backslashes are doubled only before a quote, which gets one of its own.
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

HANDLE InheritedFile(const fs::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Ends the console hosts of the terminated process `id`, and any whose
// process is gone: wine leaves them running, holding the pipes of whoever
// runs the tests, and may start one a moment after the kill.
void EndConsoleHosts(DWORD id) {
  for (int sweep = 0; sweep < 2; ++sweep) {
    if (sweep > 0) ::Sleep(300);
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    std::vector<PROCESSENTRY32W> processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
      processes.push_back(entry);
    ::CloseHandle(snapshot);
    const auto runs = [&](DWORD pid) {
      return std::any_of(processes.begin(), processes.end(), [&](const auto& p) { return p.th32ProcessID == pid; });
    };
    for (const PROCESSENTRY32W& process : processes) {
      const bool orphan = process.th32ParentProcessID == id || !runs(process.th32ParentProcessID);
      if (!orphan || ::lstrcmpiW(process.szExeFile, L"conhost.exe") != 0) continue;
      if (const HANDLE host = ::OpenProcess(PROCESS_TERMINATE, FALSE, process.th32ProcessID)) {
        ::TerminateProcess(host, 0);
        ::CloseHandle(host);
      }
    }
  }
}

// Runs the program; after `killAfter` milliseconds (INFINITE: never) it is
// ended outright.
ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                  const std::filesystem::path& workDir, DWORD killAfter) {
  TempDir capture;
  const HANDLE out = InheritedFile(capture.path() / "out");
  const HANDLE err = InheritedFile(capture.path() / "err");
  const std::wstring path = Utf8Path(program).wstring();
  std::wstring line;
  AppendQuoted(line, path);
  for (const std::string& arg : args) {
    line += L' ';
    AppendQuoted(line, Utf8Path(arg).wstring());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  // A start that fails is tried again: wine under load has been seen to
  // fail one now and then, and the start is not what the tests check.
  bool started = false;
  DWORD why = 0;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(200);
    started = ::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                               workDir.c_str(), &startup, &process) != 0;
    why = ::GetLastError();
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) throw std::runtime_error("cannot start " + program + ": error " + std::to_string(why));
  if (::WaitForSingleObject(process.hProcess, killAfter) == WAIT_TIMEOUT) {
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    EndConsoleHosts(process.dwProcessId);
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  PROCESS_MEMORY_COUNTERS memory{};
  ::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ProcessResult r;
  r.exitCode = static_cast<int>(code);
  r.peakRssKiB = static_cast<long>(memory.PeakWorkingSetSize / 1024);
  r.out = ReadText(capture.path() / "out");
  r.err = ReadText(capture.path() / "err");
  return r;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir) {
  return Run(program, args, workDir, INFINITE);
}

ProcessResult RunProcessKilledAfter(const std::string& program, const std::vector<std::string>& args,
                                    const std::filesystem::path& workDir, int milliseconds) {
  return Run(program, args, workDir, static_cast<DWORD>(milliseconds));
}

// The programs lie beside the test programs.
std::string BinPath(const std::string& name) {
  std::wstring self(MAX_PATH, L'\0');
  DWORD n = 0;
  while ((n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) == self.size())
    self.resize(2 * self.size());
  self.resize(n);
  return Utf8(fs::path(self).parent_path() / Utf8Path(name + ".exe"));
}

std::string CopyOfProgram(const std::string& name, const std::filesystem::path& dir) {
  const fs::path copy = dir / Utf8Path(name + ".exe");
  fs::copy_file(Utf8Path(BinPath(name)), copy, fs::copy_options::overwrite_existing);
  return Utf8(copy);
}

}  // namespace quarnet::test
