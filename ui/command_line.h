#pragma once
// The desktop program's command line:
//   quarnet [--lang zh|en]    runs the window in Chinese (the default) or English
//   quarnet --version | --help
#include <string>
#include <vector>

#include "ui/strings.h"

namespace quarnet {

struct CommandLine {
  enum Action { kRun, kVersion, kHelp, kUsageError };
  Action action = kRun;
  Language language = Language::kChinese;
  std::string error;  // what was wrong, for kUsageError
};

// Reads the arguments that follow the program name. The first wrong
// argument makes a usage error; otherwise --help wins over --version.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text that --help prints and that follows a usage error.
const char* Usage();

}  // namespace quarnet
