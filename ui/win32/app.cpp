#include "ui/win32/app.h"

#include <cstdio>
#include <string>

#include "platform/process.h"
#include "ui/command_line.h"
#include "ui/win32/quarnet_window.h"

namespace quarnet::win32 {
namespace {

// The stream `which` that the program was given, a pipe or a file: a
// program with a window gets none from a console.
HANDLE GivenStream(DWORD which) {
  const HANDLE stream = ::GetStdHandle(which);
  return stream != nullptr && stream != INVALID_HANDLE_VALUE && ::GetFileType(stream) != FILE_TYPE_UNKNOWN
             ? stream
             : nullptr;
}

// Writes `text` to the console of the program that started this one, the
// console a technician typed the command in; false when there is none.
bool WriteToParentConsole(const std::string& text) {
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  std::wstring wide = Widen(text);
  for (std::size_t at = 0; (at = wide.find(L'\n', at)) != std::wstring::npos; at += 2) wide.insert(at, 1, L'\r');
  DWORD written = 0;
  const bool ok = console != INVALID_HANDLE_VALUE &&
                  ::WriteConsoleW(console, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
  if (console != INVALID_HANDLE_VALUE) ::CloseHandle(console);
  ::FreeConsole();
  return ok;
}

void ShowInBox(const std::string& text, UINT icon) {
  ::MessageBoxW(nullptr, Widen(text).c_str(), L"Quarnet", MB_OK | icon);
}

// --version and --help: to the standard output given, else to the console
// the program was started from, else in a box.
int Tell(const std::string& text) {
  if (GivenStream(STD_OUTPUT_HANDLE) != nullptr) return os::WriteStandardOutput(text) ? 1 : 0;
  if (!WriteToParentConsole(text)) ShowInBox(text, MB_ICONINFORMATION);
  return 0;
}

// A wrong argument: to the standard error given (a script's), else in a
// box, since a shortcut's mistake has no console to show it in.
int RefuseArguments(const CommandLine& command) {
  const std::string text = "quarnet: " + command.error + "\n" + Usage();
  if (GivenStream(STD_ERROR_HANDLE) != nullptr) {
    std::fputs(text.c_str(), stderr);
  } else {
    ShowInBox(text, MB_ICONERROR);
  }
  return 2;
}

}  // namespace

int Main(int argc, char** argv) {
  const std::vector<std::string> args = os::ProgramArguments(argc, argv);
  const CommandLine command = ParseCommandLine({args.begin() + (args.empty() ? 0 : 1), args.end()});
  switch (command.action) {
    case CommandLine::kVersion: return Tell("Quarnet " QUARNET_VERSION "\n");
    case CommandLine::kHelp: return Tell(Usage());
    case CommandLine::kUsageError: return RefuseArguments(command);
    case CommandLine::kRun: break;
  }
  QuarnetWindow window(command.language);
  window.Logic().remember = true;
  window.Run();
  return 0;
}

}  // namespace quarnet::win32
