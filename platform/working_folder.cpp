// The thread's working folder: the same on every system.
#include "platform/files.h"

namespace quarnet::os {
namespace {

thread_local const Folder* t_workingFolder = nullptr;

}  // namespace

const Folder& WorkingFolder() {
  static const Folder kStart;
  return t_workingFolder != nullptr ? *t_workingFolder : kStart;
}

ScopedWorkingFolder::ScopedWorkingFolder(const Folder& folder) : previous_(t_workingFolder) {
  t_workingFolder = &folder;
}
ScopedWorkingFolder::~ScopedWorkingFolder() { t_workingFolder = previous_; }

}  // namespace quarnet::os
