// Stop signals nest: the outermost StopSignals installs the handlers and
// the notifier, inner ones share them, and the handling from before comes
// back when the outermost ends. A job inside a program that already
// catches the signals thus neither replaces its notifier nor leaves the
// signals caught after the program lets go of them.
#include <mutex>

#include "platform/process.h"
#include "platform/stop_handlers.h"

namespace quarnet::os {
namespace {

std::mutex g_nesting;
int g_depth = 0;

}  // namespace

StopSignals::StopSignals() {
  const std::lock_guard lock(g_nesting);
  if (g_depth++ == 0) detail::InstallStopHandlers();
}

StopSignals::~StopSignals() {
  const std::lock_guard lock(g_nesting);
  if (--g_depth == 0) detail::RemoveStopHandlers();
}

}  // namespace quarnet::os
