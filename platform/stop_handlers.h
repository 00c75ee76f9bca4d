#pragma once
// What each system's twin does for StopSignals: install the handlers of
// the stop signals (remembering the handling before them) and put that
// handling back. StopSignals calls them once per outermost object.
namespace quarnet::os::detail {

void InstallStopHandlers();
void RemoveStopHandlers();

}  // namespace quarnet::os::detail
