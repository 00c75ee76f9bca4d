#pragma once
// A job's private folder beside its output.
#include <string>
#include <string_view>

#include "platform/files.h"

namespace quarnet::os {

// A private folder for one job, made as `prefix` + six random characters in
// `parent` and locked for its whole life, so that a sweep never takes it
// for the remains of a job that is gone. Making one first removes such
// remains in `parent`: folders with the prefix, of this user, whose lock
// the sweep can take itself. The destructor removes the folder with the
// files in it.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // `parentPath` relative to `base`; `where` receives the name of the call
  // and path that failed.
  Error Create(const Folder& base, const std::string& parentPath, std::string_view prefix, std::string& where);
  const Folder& folder() const { return folder_; }
  // The folder's path as the caller named its parent.
  const std::string& path() const { return path_; }
  // Removes the folder and the files in it now; the error of the first
  // removal that failed.
  Error Remove();

 private:
  Folder parent_;
  Folder folder_;
  std::string name_;
  std::string path_;
  File lock_;
};

}  // namespace quarnet::os
