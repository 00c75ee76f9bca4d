// Staged files and the replacing rename on Windows. A staged file is made
// exclusively under a unique hidden name beside its final name, with the
// hidden mark; Commit flushes it, closes it, renames it over the final
// name and flushes the folder. A final name held by a folder, device,
// link, junction or a file with other names is refused: Windows has no
// rename that is sure to replace only the name in every such case.
//
// A hidden name that a killed process left is removed when a file of the
// same final name is staged next. A live staged file is always open
// without sharing its deletion, and from its close until its rename
// another handle holds it: the sweep removes only a file it can open with
// no sharing at all.
#include <string>
#include <vector>

#include "platform/fault_step.h"
#include "platform/unique_names.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/staged.h"
#include "platform/windows/win32.h"

namespace quarnet::os {
namespace {

using win::FullPath;
using win::Run;

constexpr int kNameTries = 100;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes that a replaced file passes to its successor.
constexpr DWORD kPassedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Cleanup after a failure: best effort, outside the fault plan. A mark
// passed on from the final name may have made the file read-only.
void DropName(const Folder& folder, std::string& name) {
  std::wstring full;
  if (!name.empty() && FullPath(folder, name, full) == 0) {
    ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(full.c_str());
  }
  name.clear();
}

// Whether no process holds the file at `full`, a plain file: a live staged
// file is held so that this open, which shares nothing, fails.
bool IsUnheld(const std::wstring& full) {
  const HANDLE handle = ::CreateFileW(full.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool plain = ::GetFileInformationByHandle(handle, &info) && info.nNumberOfLinks == 1 &&
                     (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  ::CloseHandle(handle);
  return plain;
}

// Removes the hidden names of `name` in `folder` that no live staged file
// holds. Trying a live one costs no wait: the open is not retried.
void SweepStale(const Folder& folder, const std::string& name) {
  std::vector<std::string> names;
  if (ListFolder(folder, names) != 0) return;
  for (std::string& candidate : names) {
    std::wstring full;
    if (detail::IsHiddenNameOf(candidate, name) && FullPath(folder, candidate, full) == 0 && IsUnheld(full))
      DropName(folder, candidate);
  }
}

// The folder part of an absolute path; a root keeps its backslash.
std::wstring ParentOf(const std::wstring& path) {
  std::wstring parent = path.substr(0, path.find_last_of(L'\\'));
  if (!parent.empty() && parent.back() == L':') parent += L'\\';
  return parent;
}

// Flushes the folder of `target` after a rename in it: the rename's own
// write-through covers only a move between volumes. A folder that cannot
// be flushed by nature (no right to write it, a file system or volume
// without it, read-only media) is no failure, as on POSIX.
Error FlushFolderOf(const std::wstring& target) {
  detail::NotePromise(Promise::kFolderSync);
  Error error = 0;
  const HANDLE folder = win::Open(error, ParentOf(target), FILE_WRITE_DATA, kShareAll, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, win::Busy::kFail);
  if (folder != INVALID_HANDLE_VALUE) {
    Run(error, [&] { return ::FlushFileBuffers(folder) != 0; }, win::Busy::kFail);
    ::CloseHandle(folder);
  }
  return error == EACCES || error == EINVAL || error == EOPNOTSUPP || error == EROFS ? 0 : error;
}

// Renames `from` over `to`. The new file gets exactly the old one's passed
// marks (none without an old file); `marks` are those it has already.
Committed ReplaceIn(const Folder& fromFolder, const std::string& from, const Folder& toFolder, const std::string& to,
                    bool durable, DWORD marks) {
  Committed c;
  std::wstring source;
  std::wstring target;
  if ((c.error = FullPath(fromFolder, from, source)) != 0 || (c.error = FullPath(toFolder, to, target)) != 0) return c;
  win::Node node;
  if ((c.error = win::Examine(target, node)) != 0) return c;
  switch (win::HolderOf(node)) {
    case win::Holder::kNotPlain: c.error = kNotPlainTarget; return c;
    case win::Holder::kLinked: c.error = kLinkedTarget; return c;
    case win::Holder::kNothing:
    case win::Holder::kPlainFile: break;
  }
  const DWORD old = node.attributes;
  const DWORD passed = old & kPassedAttributes;
  // The archive mark stays: the new file is not backed up yet.
  if (passed != marks &&
      !Run(c.error, [&] { return ::SetFileAttributesW(source.c_str(), passed | FILE_ATTRIBUTE_ARCHIVE) != 0; }))
    return c;
  // A read-only file refuses the rename over it: its mark goes first (the
  // new file has it now) and comes back if the rename fails.
  const bool readOnly = (passed & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !Run(c.error, [&] {
        return ::SetFileAttributesW(target.c_str(), old & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0;
      }))
    return c;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
  detail::NotePromise(durable ? Promise::kDurableRename : Promise::kScratchRename);
  if (!Run(c.error, [&] { return ::MoveFileExW(source.c_str(), target.c_str(), flags) != 0; })) {
    if (readOnly) ::SetFileAttributesW(target.c_str(), old);
    return c;
  }
  if (durable) c.warning = FlushFolderOf(target);
  return c;
}

}  // namespace

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Discard() {
  file_.Reset();
  DropName(folder_, temporary_);
}

Error StagedFile::Create(const Folder& base, const std::string& path) {
  Discard();
  std::string folder;
  win::SplitPath(path, folder, name_);
  if (name_.empty() || name_ == "." || name_ == "..") return EISDIR;
  if (const Error error = OpenFolder(base, folder, folder_)) return error;
  SweepStale(folder_, name_);
  Error error = EEXIST;
  for (int i = 0; i < kNameTries && error == EEXIST; ++i) {
    temporary_ = detail::HiddenName(name_);
    std::wstring full;
    if ((error = FullPath(folder_, temporary_, full)) != 0) break;
    // While it is open others may read it, but not write, rename or delete it.
    const HANDLE handle =
        win::Open(error, full, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
    if (handle != INVALID_HANDLE_VALUE) {
      file_.Reset(win::FromHandle(handle));
      return 0;
    }
  }
  temporary_.clear();
  return error;
}

Committed StagedFile::Commit(bool durable) {
  Committed c;
  if (!file_.IsOpen()) {
    c.error = EBADF;
    return c;
  }
  if (durable) c.error = file_.Sync();
  // A second handle, which lets the rename through, holds the file from
  // the close until the rename is done.
  File keep;
  Error ignored = 0;
  HANDLE second = INVALID_HANDLE_VALUE;
  const auto reopen = [&] {
    second = ::ReOpenFile(win::ToHandle(file_.native()), GENERIC_READ, kShareAll, 0);
    return second != INVALID_HANDLE_VALUE;
  };
  if (c.error == 0 && Run(ignored, reopen, win::Busy::kFail)) keep.Reset(win::FromHandle(second));
  if (c.error == 0) c.error = file_.Close();
  if (c.error == 0) c = ReplaceIn(folder_, temporary_, folder_, name_, durable, FILE_ATTRIBUTE_HIDDEN);
  if (c.error != 0) {
    Discard();
    return c;
  }
  temporary_.clear();
  return c;
}

Committed Replace(const Folder& fromBase, const std::string& from, const Folder& toBase, const std::string& to) {
  return ReplaceIn(fromBase, from, toBase, to, true, 0);
}

}  // namespace quarnet::os
