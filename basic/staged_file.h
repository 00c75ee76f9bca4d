#pragma once
// A file that is written completely before it takes its name: the package
// under construction. Until then it has no name at all (or lives in the
// system's temporary folder), so a failed or interrupted build leaves
// nothing behind and never touches a file that already has the name. This
// file and its .cpp are the only places of the engine that call the
// operating system directly.
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

  // Writes `size` bytes at byte `offset`; false when not all were written.
  bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

  // Gives the finished file of `size` bytes its name. A free name takes the
  // staged file itself. A name already taken is opened with "w+b", as any
  // new output would be (through links, refused when read-only or a
  // folder), and overwritten with the staged bytes; when that write fails,
  // the file of that name is removed, since it is neither the old file nor
  // the new one any more. False on any failure.
  bool Install(std::uint64_t size);

 private:
  bool CopyOverName(std::uint64_t size);

  std::filesystem::path path_;
  FilePtr file_;
  bool beside_ = false;  // unnamed in the folder of `path_`
};

}  // namespace quarnet
