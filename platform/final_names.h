#pragma once
// Windows only: what may stand at a final name that a rename replaces. The
// decision is kept apart from the calls that read a name's attributes, so
// that it can be tested for every kind of reparse point.
#include <cstdint>

namespace quarnet::os::win {

// What a folder, file or link at a path is, the name itself (links are not
// followed). `exists` is false for a missing name.
struct Node {
  bool exists = false;
  bool disk = false;  // a file or folder on a disk, not a device or pipe
  std::uint32_t attributes = 0;
  std::uint32_t tag = 0;  // the kind of reparse point, when the attributes mark one
  std::uint32_t links = 0;
  std::uint64_t size = 0;
};

// Whether `node` is a symbolic link or a junction. Other reparse points (a
// cloud file's placeholder, a deduplicated file, an app's alias) stand for
// the file or folder itself.
bool IsLink(const Node& node);

// What holds a final name, for the rename over it: a link or a file with
// a second name is refused, since the rename might reach what it names; a
// folder, device or pipe is no file to replace.
enum class Holder { kNothing, kPlainFile, kLinked, kNotPlain };
Holder HolderOf(const Node& node);

}  // namespace quarnet::os::win
