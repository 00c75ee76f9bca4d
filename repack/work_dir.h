#pragma once
// A private, freshly made working directory for one job. While the object
// lives it is the process's working directory; afterwards the previous one
// is restored and the private directory is removed with everything left in
// it, so a job never creates, changes or deletes a file where the program
// was started.
#include <filesystem>

namespace quarnet {

class PrivateWorkDir {
 public:
  PrivateWorkDir();
  ~PrivateWorkDir();
  PrivateWorkDir(const PrivateWorkDir&) = delete;
  PrivateWorkDir& operator=(const PrivateWorkDir&) = delete;

  // False when the directory could not be made or entered.
  bool ok() const { return !path_.empty(); }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace quarnet
