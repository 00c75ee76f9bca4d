// Staged files and the replacing rename on Windows. A staged file is made
// exclusively under a unique hidden name beside its final name; Commit
// flushes it, closes it and renames it over the final name with a rename
// that is written through. A final name held by a folder, device, link,
// junction or a file with other names is refused: Windows has no rename
// that is sure to replace only the name in every such case.
#include <string>

#include "platform/os.h"
#include "platform/windows/win32.h"

namespace quarnet::os {
namespace {

using win::FullPath;
using win::Run;

constexpr int kNameTries = 100;

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

Committed ReplaceIn(const Folder& fromFolder, const std::string& from, const Folder& toFolder, const std::string& to,
                    bool durable) {
  Committed c;
  std::wstring source;
  std::wstring target;
  if ((c.error = FullPath(fromFolder, from, source)) != 0 || (c.error = FullPath(toFolder, to, target)) != 0) return c;
  win::Node node;
  if ((c.error = win::Examine(target, node)) != 0) return c;
  const DWORD old = node.attributes;
  const bool link = (old & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (node.exists && (!node.disk || ((old & FILE_ATTRIBUTE_DIRECTORY) != 0 && !link))) {
    c.error = kNotPlainTarget;
    return c;
  }
  if (link || node.links > 1) {
    c.error = kLinkedTarget;
    return c;
  }
  const DWORD passed = old & kPassedAttributes;
  if (passed != 0 && !Run(c.error, [&] { return ::SetFileAttributesW(source.c_str(), passed) != 0; })) return c;
  // A read-only file refuses the rename over it: its mark goes first (the
  // new file has it now) and comes back if the rename fails.
  const bool readOnly = (passed & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !Run(c.error, [&] {
        return ::SetFileAttributesW(target.c_str(), old & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0;
      }))
    return c;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
  if (!Run(c.error, [&] { return ::MoveFileExW(source.c_str(), target.c_str(), flags) != 0; }) && readOnly)
    ::SetFileAttributesW(target.c_str(), old);
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
  Error error = EEXIST;
  for (int i = 0; i < kNameTries && error == EEXIST; ++i) {
    temporary_ = win::HiddenName(name_);
    std::wstring full;
    if ((error = FullPath(folder_, temporary_, full)) != 0) break;
    // While it is open others may read it, but not write, rename or delete it.
    const HANDLE handle =
        win::Open(error, full, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
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
  if (c.error == 0) c.error = file_.Close();
  if (c.error == 0) c = ReplaceIn(folder_, temporary_, folder_, name_, durable);
  if (c.error != 0) {
    Discard();
    return c;
  }
  temporary_.clear();
  return c;
}

Committed Replace(const Folder& fromBase, const std::string& from, const Folder& toBase, const std::string& to) {
  return ReplaceIn(fromBase, from, toBase, to, true);
}

}  // namespace quarnet::os
