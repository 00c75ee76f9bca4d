#pragma once
// What both implementations of the floor do alike, written once above them,
// and the one primitive each gives it.
#include <string>

#include "platform/files.h"

namespace quarnet::os::detail {

// Removes every file in `folder` (a job folder holds files only), then the
// folder itself, `name` in `parent`. Returns the first error; a name
// already gone is no error.
Error RemoveTree(const Folder& parent, const std::string& name, const Folder& folder);
// Each system's removal of the empty folder `name` in `parent`, one step of
// the fault plan.
Error RemoveEmptyFolder(const Folder& parent, const std::string& name);

// Each system's making of the folder `path` (absolute), one that stands
// there already being no error.
Error MakeFolder(const std::string& path);

// Each system's own text for an error number or code that is no kind of
// the floor's own.
std::string SystemErrorText(Error error);

}  // namespace quarnet::os::detail
