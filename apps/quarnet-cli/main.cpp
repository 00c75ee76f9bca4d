// quarnet-cli: headless repack, unpack and inspection of packages.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "apps/quarnet-cli/commands.h"
#include "package/display_text.h"
#include "platform/process.h"

namespace {

constexpr char kUsage[] =
    "Usage: quarnet-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  unpack PKG [-C DIR]   export every item of a package into DIR\n"
    "  info PKG [--json]     show a package and verify its lengths and checksums\n"
    "  diff A B [--json]     compare two packages: header, products and items\n"
    "  repack ...            build a new package (see quarnet-cli repack --help)\n"
    "  products              print the built-in product table\n"
    "\n"
    "quarnet-cli COMMAND --help shows the usage of one command.\n"
    "quarnet-cli --version prints the version.\n";

struct Command {
  const char* name;
  int (*run)(int, char**);
};

constexpr Command kCommands[] = {
    {"unpack", quarnet::cli::Unpack},
    {"info", quarnet::cli::Info},
    {"diff", quarnet::cli::Diff},
    {"repack", quarnet::cli::Repack},
    {"products", quarnet::cli::Products},
};

int Run(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return quarnet::cli::kExitUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::puts("Quarnet " QUARNET_VERSION);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "quarnet-cli: unknown command '%s'\n\n%s", quarnet::DisplayText(argv[1]).c_str(), kUsage);
  return quarnet::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  quarnet::os::PrepareStandardStreams();
  std::vector<std::string> args = quarnet::os::ProgramArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  return Run(static_cast<int>(args.size()), pointers.data());
}
