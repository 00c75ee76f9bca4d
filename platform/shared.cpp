#include "platform/shared.h"

#include <cerrno>
#include <vector>

namespace quarnet::os {

Error detail::RemoveTree(const Folder& parent, const std::string& name, const Folder& folder) {
  std::vector<std::string> names;
  Error first = ListFolder(folder, names);
  for (const std::string& entry : names) {
    const Error error = Remove(folder, entry);
    if (first == 0 && error != ENOENT) first = error;
  }
  const Error error = RemoveEmptyFolder(parent, name);
  if (first == 0 && error != ENOENT) first = error;
  return first;
}

std::string Describe(Error error) {
  switch (error) {
    case kNotRegularFile: return "not a regular file";
    case kNotPlainTarget: return "a folder or special file stands there";
    case kTooLarge: return "File too large";
    case kOutOfMemory: return "Cannot allocate memory";
    case kLinkedTarget: return "a link or a file with more than one name stands there";
    case kInUse: return "another program holds the file";
    case kDeniedOrInUse: return "access denied (another program holds the file, or the rights do not allow it)";
    default: return detail::SystemErrorText(error);
  }
}

}  // namespace quarnet::os
