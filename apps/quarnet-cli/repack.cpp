#include "apps/quarnet-cli/commands.h"

namespace quarnet::cli {

// In progress.
int Repack(int, char**) { return kExitUsage; }

}  // namespace quarnet::cli
