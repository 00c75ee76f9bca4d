#pragma once
// The engine's files, named for the reasons of their failures: every call
// that fails records "<call> <name>: <the system's text>" as the job's
// failure reason (the first one counts). Relative names resolve against the
// thread's working folder unless a folder is given.
//
// InputFile reads regular files only: a FIFO, device or folder is refused
// before anything waits on it. OutputFile never writes under its final name:
// it is staged beside it and takes the name on Commit, complete and synced;
// a file that never commits leaves the name as it was.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/staged.h"

namespace quarnet {

class InputFile {
 public:
  // Opens `path`; false with the reason recorded.
  bool Open(const std::string& path) { return Open(os::WorkingFolder(), path); }
  bool Open(const os::Folder& base, const std::string& path);
  // Opens `path` when it is there; a missing file is no failure of the
  // job, and any other failure only a warning.
  bool OpenIfPresent(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& name() const { return name_; }
  os::File& file() { return file_; }

  // Reads up to `into.size()` bytes from the current position: fewer only at
  // the end of the file or after a failure, which failed() then tells.
  std::size_t Read(std::span<std::uint8_t> into);
  // Reads up to `into.size()` bytes at `offset`; the count, fewer at the end.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into);
  bool Seek(std::uint64_t offset);
  bool Size(std::uint64_t& size);
  bool failed() const { return failed_; }
  // Lets go of the file: a name that is about to be replaced must not be
  // held open (Windows will not replace an open file).
  void Close() { file_.Reset(); }

 private:
  bool Failed(const char* call, os::Error error);

  os::File file_;
  std::string name_;
  bool failed_ = false;
};

// Whether a file's final name must survive a crash: a durable file and its
// folder are synced on Commit. Scratch files are a job's own, in its working
// folder and removed with it: the job syncs what leaves the folder.
enum class Durability { kDurable, kScratch };
// The durability of a file that the current job makes in its working
// folder: scratch while a ScopedScratchFolder says so.
Durability JobWork();

class OutputFile {
 public:
  // What a failure of this file is to the job: its failure, or a warning
  // (a file beside the job's result, such as its log).
  enum class Failures { kFailTheJob, kWarn };
  explicit OutputFile(Durability durability, Failures failures = Failures::kFailTheJob)
      : durable_(durability == Durability::kDurable), warnOnly_(failures == Failures::kWarn) {}

  // Stages a file for `path`; false with the reason recorded.
  bool Create(const std::string& path) { return Create(os::WorkingFolder(), path); }
  bool Create(const os::Folder& base, const std::string& path);
  const std::string& name() const { return name_; }

  // Writes all of `bytes` at the current position (or at `offset`); false
  // with the reason recorded.
  bool Write(std::span<const std::uint8_t> bytes);
  bool Write(std::string_view text);
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Puts the file under its final name. False when the name was not
  // replaced (reason recorded); a failure to sync the folder afterwards is
  // a warning of the job, since the name was replaced.
  bool Commit();
  // The bytes written so far start on their way to the disk.
  void StartWriteBack();

 private:
  void Report(const char* call, os::Error error);
  // Bytes up to `end` are written: every few MiB they start on their way to
  // the disk, so that the sync of a large file does not stall at its end.
  void Wrote(std::uint64_t end);

  os::StagedFile staged_;
  std::string name_;
  std::uint64_t position_ = 0;
  std::uint64_t writtenTo_ = 0;
  std::uint64_t writeBackFrom_ = 0;
  bool durable_ = true;
  bool warnOnly_ = false;
};

// Files written one after another that take their names together, such as
// an unpack's items: each complete file starts on its way to the disk while
// the next is written, and Commit then commits each in turn. The disk
// writes while the copy goes on, instead of each sync waiting for the
// whole of its file.
class OutputBatch {
 public:
  void Add(std::unique_ptr<OutputFile> file);
  std::size_t size() const { return files_.size(); }
  // Commits the files in the order added, up to the first that fails
  // (reason recorded), whose followers are dropped. Returns how many took
  // their names.
  std::size_t Commit();

 private:
  std::vector<std::unique_ptr<OutputFile>> files_;
};

// Makes `folder`, the current job's own, its working folder and its files
// there scratch while the object lives.
class ScopedScratchFolder {
 public:
  explicit ScopedScratchFolder(const os::Folder& folder);
  ~ScopedScratchFolder();
  ScopedScratchFolder(const ScopedScratchFolder&) = delete;
  ScopedScratchFolder& operator=(const ScopedScratchFolder&) = delete;

 private:
  os::ScopedWorkingFolder working_;
  bool previous_;
};

// Removes `path` when it names a file; a missing name is no failure, a
// folder is left alone. False with the reason recorded.
bool RemoveFile(const std::string& path);

// What stands at `path`, the name itself; the reason is recorded when the
// system cannot tell.
bool LookAt(const os::Folder& base, const std::string& path, os::Entry& entry);

}  // namespace quarnet
