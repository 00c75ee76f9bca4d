// quarnet: the desktop program. --version and --help need no display.
#include <cstdio>

#include "ui/command_line.h"
#include "ui/qt/app.h"

int main(int argc, char** argv) {
  using quarnet::CommandLine;
  const CommandLine command = quarnet::ParseCommandLine({argv + 1, argv + argc});
  switch (command.action) {
    case CommandLine::kVersion: std::puts("Quarnet " QUARNET_VERSION); return 0;
    case CommandLine::kHelp: std::fputs(quarnet::Usage(), stdout); return 0;
    case CommandLine::kUsageError: std::fprintf(stderr, "quarnet: %s\n%s", command.error.c_str(), quarnet::Usage()); return 2;
    case CommandLine::kRun: break;
  }
  quarnet::CQuarnetApp theApp(argc, argv, command.language);
  return theApp.InitInstance();
}
