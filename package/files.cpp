#include "package/files.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "package/job.h"
#include "package/job_control.h"

namespace quarnet {

Durability JobWork() { return CurrentJob().ScratchWork() ? Durability::kScratch : Durability::kDurable; }

bool InputFile::Failed(const char* call, os::Error error) {
  failed_ = true;
  RecordSystemError(call, name_, error);
  return false;
}

bool InputFile::Open(const os::Folder& base, const std::string& path) {
  name_ = path;
  failed_ = false;
  const os::Error error = os::OpenForReading(base, path, file_);
  return error == 0 || Failed("open", error);
}

bool InputFile::OpenIfPresent(const std::string& path) {
  name_ = path;
  failed_ = false;
  const os::Error error = os::OpenForReading(os::WorkingFolder(), path, file_);
  if (error != 0 && error != ENOENT) AddWarning("open " + path + ": " + os::Describe(error));
  return error == 0;
}

std::size_t InputFile::Read(std::span<std::uint8_t> into) {
  std::size_t got = 0;
  if (const os::Error error = file_.Read(into, got)) Failed("read", error);
  return got;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  std::size_t got = 0;
  if (const os::Error error = file_.ReadAt(offset, into, got)) Failed("read", error);
  return got;
}

bool InputFile::Seek(std::uint64_t offset) {
  const os::Error error = file_.Seek(offset);
  return error == 0 || Failed("seek", error);
}

bool InputFile::Size(std::uint64_t& size) {
  size = 0;
  const os::Error error = file_.Size(size);
  return error == 0 || Failed("stat", error);
}

void OutputFile::Report(const char* call, os::Error error) {
  if (warnOnly_) {
    AddWarning(std::string(call) + " " + name_ + ": " + os::Describe(error));
  } else {
    RecordSystemError(call, name_, error);
  }
}

bool OutputFile::Create(const os::Folder& base, const std::string& path) {
  name_ = path;
  const os::Error error = staged_.Create(base, path);
  if (error != 0) Report("create", error);
  return error == 0;
}

void OutputFile::Wrote(std::uint64_t end) {
  constexpr std::uint64_t kWriteBackStep = 8 << 20;
  writtenTo_ = std::max(writtenTo_, end);
  if (writtenTo_ - writeBackFrom_ >= kWriteBackStep) StartWriteBack();
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
  if (!WriteAt(position_, bytes)) return false;
  position_ += bytes.size();
  return true;
}

bool OutputFile::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool OutputFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  // Pieces of 64 KiB, as the kernel's own copy writes: on a virtual machine
  // whose host takes back free memory, 1 MiB writes fill large page-cache
  // folios that the host must first give back, and about one 256 MiB
  // package in four stalled for 600 ms of system time; in 64 KiB pieces
  // none did, at the same speed.
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  for (std::size_t done = 0; done < bytes.size();) {
    const std::span<const std::uint8_t> piece = bytes.subspan(done, std::min(kPiece, bytes.size() - done));
    const os::Error error = staged_.file().WriteAt(offset + done, piece);
    if (error != 0) {
      Report("write", error);
      return false;
    }
    done += piece.size();
    Wrote(offset + done);
  }
  return true;
}

bool OutputFile::Commit() {
  const os::Committed c = staged_.Commit(durable_);
  if (c.error != 0) {
    const bool refused = c.error == os::kNotPlainTarget || c.error == os::kLinkedTarget;
    Report(refused ? "replace" : "commit", c.error);
    return false;
  }
  if (c.warning != 0) AddWarning("sync the folder of " + name_ + ": " + os::Describe(c.warning), WarningKind::kNotSynced);
  return true;
}

void OutputFile::StartWriteBack() {
  if (writtenTo_ > writeBackFrom_) staged_.file().StartWriteBack(writeBackFrom_, writtenTo_ - writeBackFrom_);
  writeBackFrom_ = writtenTo_;
}

void OutputBatch::Add(std::unique_ptr<OutputFile> file) {
  file->StartWriteBack();
  files_.push_back(std::move(file));
}

std::size_t OutputBatch::Commit() {
  std::size_t committed = 0;
  while (committed < files_.size() && files_[committed]->Commit()) ++committed;
  files_.clear();
  return committed;
}

ScopedScratchFolder::ScopedScratchFolder(const os::Folder& folder)
    : working_(folder), previous_(CurrentJob().ScratchWork()) {
  CurrentJob().SetScratchWork(true);
}

ScopedScratchFolder::~ScopedScratchFolder() { CurrentJob().SetScratchWork(previous_); }

bool RemoveFile(const std::string& path) {
  const os::Error error = os::Remove(os::WorkingFolder(), path);
  if (error == 0 || error == ENOENT || error == EISDIR) return true;
  RecordSystemError("remove", path, error);
  return false;
}

bool LookAt(const os::Folder& base, const std::string& path, os::Entry& entry) {
  const os::Error error = os::Look(base, path, entry);
  if (error != 0) RecordSystemError("stat", path, error);
  return error == 0;
}

}  // namespace quarnet
