#pragma once
// Folders and files. Relative names resolve against a Folder; calls without
// one use the thread's working folder (ScopedWorkingFolder), and without
// that the folder the process was started in. Nothing here changes the
// process's current directory.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace quarnet::os {

// An open folder: the base of relative names and the home of staged files.
// An empty Folder stands for the process's starting folder. On Windows a
// folder is also known by its absolute path, which relative names join:
// the system resolves names against a folder handle only in its native
// layer.
class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  bool IsOpen() const { return handle_ != -1; }
  std::intptr_t native() const { return handle_; }
  // The absolute path (Windows); empty elsewhere.
  const std::wstring& native_path() const { return path_; }
  void Reset(std::intptr_t handle = -1, std::wstring path = {});

 private:
  std::intptr_t handle_ = -1;
  std::wstring path_;
};

// The folder part of `path` as the system splits it: "." for a bare name,
// the root for a name in it. Windows also splits at a backslash and keeps
// a drive: "C:\x" gives "C:\", "C:x" gives "C:".
std::string FolderOf(const std::string& path);

// The folder that relative names of this thread resolve against: the
// innermost ScopedWorkingFolder's, else the starting folder (empty).
const Folder& WorkingFolder();

// Makes `folder` the thread's working folder while the object lives.
class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const Folder& folder);
  ~ScopedWorkingFolder();
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

 private:
  const Folder* previous_;
};

// Opens the folder at `path` (relative to `base`).
Error OpenFolder(const Folder& base, const std::string& path, Folder& out);
// The process's current folder, opened now: the base of the user's
// relative paths for a job that runs elsewhere.
Error OpenStartFolder(Folder& out);

enum class Kind { kNothing, kRegular, kFolder, kLink, kOther };

struct Entry {
  Kind kind = Kind::kNothing;
  std::uint64_t size = 0;
};

// What stands at `path`, the name itself (a link is not followed). A
// missing name is kNothing without an error.
Error Look(const Folder& base, const std::string& path, Entry& out);

// An open regular file, read and written without buffering.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool IsOpen() const { return handle_ != -1; }
  std::intptr_t native() const { return handle_; }
  void Reset(std::intptr_t handle = -1);

  // Reads up to `into.size()` bytes at the current position; fewer only at
  // the end of the file or on an error.
  Error Read(std::span<std::uint8_t> into, std::size_t& got);
  // Reads up to `into.size()` bytes at `offset`, leaving the position.
  Error ReadAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got);
  // Writes all of `bytes` at the current position (or at `offset`).
  Error Write(std::span<const std::uint8_t> bytes);
  Error WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  Error Seek(std::uint64_t offset);
  Error Size(std::uint64_t& size);
  Error Sync();
  // Starts writing `length` bytes at `offset` back to the disk without
  // waiting, so that a later Sync finds little left to do. Advisory: no
  // error, no step of the fault plan; nothing where the system has no such
  // call.
  void StartWriteBack(std::uint64_t offset, std::uint64_t length);
  // Closes the file; the error of a close is reported once.
  Error Close();

 private:
  std::intptr_t handle_ = -1;
};

// Opens the regular file at `path` for reading. Anything else (a folder,
// FIFO, device, socket) is refused with kNotRegularFile, without waiting on
// it; a link is followed.
Error OpenForReading(const Folder& base, const std::string& path, File& out);

// Whether `path` (links followed) names the file that `file` has open; a
// missing name is not the same.
Error IsSameFile(const File& file, const Folder& base, const std::string& path, bool& same);

// Removes the file (or link) `path`; a folder is refused (EISDIR).
Error Remove(const Folder& base, const std::string& path);

// Why Windows cannot hold the file name `name` ("CON", "a?b", "x."), or
// empty when it can: device names with any extension, the characters
// < > : " / \ | ? * and control characters, a final dot or blank.
std::string WindowsNameProblem(std::string_view name);
// Why this system cannot hold the file name `name`, or empty: the rule
// above on Windows; elsewhere any name without "/" will do.
std::string NameProblem(std::string_view name);

// The names in `folder` (without "." and "..").
Error ListFolder(const Folder& folder, std::vector<std::string>& names);

}  // namespace quarnet::os
