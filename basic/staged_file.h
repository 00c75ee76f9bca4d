#pragma once
// A file that is written completely before it takes its name: the package
// under construction. Until then it has no name, so a failed or interrupted
// build leaves nothing behind and never touches a file that already has the
// name. On Linux the file is made unnamed in its target's folder and later
// linked under the name at no cost (the .cpp is, beside OpenOutputFile, the
// engine's only direct use of the system's open calls); elsewhere it lives
// in the system's temporary folder and is copied at the end.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "package/file.h"

namespace quarnet {

class StagedFile {
 public:
  // Prepares a file that will be named `path`; ok() tells whether it could.
  explicit StagedFile(std::filesystem::path path);
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool ok() const { return file_ != nullptr; }

  // Writes `size` bytes at byte `offset`; false when not all were written
  // (reason recorded). The file is unbuffered: every failure shows here.
  bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

  // Gives the finished file of `size` bytes its name. A free name takes the
  // staged file itself; so does a name held by a link or a second name of
  // another file, which is removed first (OpenOutputFile's rules). A plain
  // file of its own already there is opened in place with "w+b" (refused
  // when read-only; a folder is refused) and overwritten with the staged
  // bytes; when that write fails, the file of that name is removed, since
  // it is neither the old file nor the new one any more. False on any
  // failure, with the reason recorded.
  bool Install(std::uint64_t size);

 private:
  std::filesystem::path path_;
  FilePtr file_;
  bool beside_ = false;  // in the folder of `path_`, so it can be linked there
};

}  // namespace quarnet
