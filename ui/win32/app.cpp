#include "ui/win32/app.h"

#include <cstdio>

#include "platform/process.h"
#include "ui/command_line.h"
#include "ui/win32/quarnet_window.h"

namespace quarnet::win32 {

// --version and --help print to the standard output that the program was
// given: a program with a window gets none from a console of its own.
int Main(int argc, char** argv) {
  const std::vector<std::string> args = os::ProgramArguments(argc, argv);
  const CommandLine command = ParseCommandLine({args.begin() + (args.empty() ? 0 : 1), args.end()});
  switch (command.action) {
    case CommandLine::kVersion: return os::WriteStandardOutput("Quarnet " QUARNET_VERSION "\n") ? 1 : 0;
    case CommandLine::kHelp: return os::WriteStandardOutput(Usage()) ? 1 : 0;
    case CommandLine::kUsageError: std::fprintf(stderr, "quarnet: %s\n%s", command.error.c_str(), Usage()); return 2;
    case CommandLine::kRun: break;
  }
  QuarnetWindow window(command.language);
  window.Run();
  return 0;
}

}  // namespace quarnet::win32
