#pragma once
// Files that take their final name only once they are complete.
#include <string>

#include "platform/files.h"

namespace quarnet::os {

// Whether a committed file took its name durably.
struct Committed {
  Error error = 0;    // the name was not replaced: the old file, if any, is as it was
  Error warning = 0;  // the name was replaced, but the folder could not be synced
};

// A file that takes its final name only once it is complete. It is written
// unnamed (or under a unique hidden name, "." + name + "." + six
// characters) in the final name's own folder; Commit syncs it and renames
// it over the final name, then syncs the folder. Until then, and after a
// failure or without Commit, the final name keeps what it had and nothing
// of the staged file remains. Hidden names of the same final name that a
// killed process left, and that no live process holds, go at Create.
class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Prepares the staged file for `path` (relative to `base`).
  Error Create(const Folder& base, const std::string& path);
  File& file() { return file_; }
  // `durable` false skips both syncs: for scratch files that never outlive
  // their job.
  Committed Commit(bool durable = true);
  // Drops the staged file (also done by the destructor).
  void Discard();

 private:
  Folder folder_;          // the final name's folder
  std::string name_;       // the final name within it
  std::string temporary_;  // the hidden name, empty while the file has none
  File file_;
};

// Renames `from` (relative to `fromBase`) over `to` (relative to `toBase`)
// on the same file system, under the rules of StagedFile::Commit: a folder
// or special file at `to` is refused, a link or a second name of another
// file is replaced (never written through; Windows refuses both with
// kLinkedTarget), a plain file's permissions (Windows: its read-only,
// hidden, system and not-indexed attributes, and no others of these) pass
// to the new file. The folder of `to` is synced afterwards (Windows:
// flushed).
Committed Replace(const Folder& fromBase, const std::string& from, const Folder& toBase, const std::string& to);

}  // namespace quarnet::os
