#include "apps/quarnet-cli/commands.h"

namespace quarnet::cli {

// In progress.
int Info(int, char**) { return kExitUsage; }

}  // namespace quarnet::cli
