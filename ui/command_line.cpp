#include "ui/command_line.h"

#include "package/display_text.h"

namespace quarnet {
namespace {

bool ReadLanguage(std::string_view name, Language& language) {
  if (name == "zh") {
    language = Language::kChinese;
  } else if (name == "en") {
    language = Language::kEnglish;
  } else {
    return false;
  }
  return true;
}

// The error quotes the argument as the escaper shows it.
CommandLine UsageError(const std::string& error) {
  CommandLine command;
  command.action = CommandLine::kUsageError;
  command.error = DisplayText(error);
  return command;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine command;
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--lang" || arg.starts_with("--lang=")) {
      const bool joined = arg != "--lang";
      if (!joined && i + 1 == args.size()) return UsageError("--lang needs zh or en");
      const std::string value = joined ? arg.substr(7) : args[++i];
      if (!ReadLanguage(value, command.language)) return UsageError("unknown language '" + value + "' (zh or en)");
    } else if (arg.starts_with("-")) {
      return UsageError("unknown option '" + arg + "'");
    } else {
      return UsageError("unexpected argument '" + arg + "'");
    }
  }
  if (help) {
    command.action = CommandLine::kHelp;
  } else if (version) {
    command.action = CommandLine::kVersion;
  }
  return command;
}

const char* Usage() {
  return "Usage: quarnet [--lang zh|en]\n"
         "       quarnet --version | --help\n"
         "Rebuilds firmware packages of optical network terminals in a window.\n"
         "\n"
         "  --lang zh|en  the windows' texts in Chinese (zh, the default) or English (en)\n"
         "  --version     print the version and exit\n"
         "  --help        print this help and exit\n";
}

}  // namespace quarnet
