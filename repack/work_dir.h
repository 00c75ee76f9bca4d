#pragma once
// A private working folder for one job, made as a hidden ".quarnet-job-XXXXXX"
// in the folder of the job's output: the job needs room only where the
// package goes, and the finished package reaches its output by a plain
// rename. While the object lives the folder is the process's working
// directory (the job's file names are relative); afterwards the previous one
// is restored and the folder is removed with everything left in it, however
// the job ended.
//
// A job holds an exclusive lock on the file "lock" inside its folder for its
// whole life, so a folder whose lock can be taken belongs to a process that
// is gone (killed, or the machine lost power). Each new job removes such
// folders of its own user that it finds beside its output. Folder creation
// and that sweep exclude each other through a lock on the output's folder,
// so a folder is never taken for stale in the moment before its lock exists.
#include <filesystem>
#include <string>

namespace quarnet {

class PrivateWorkDir {
 public:
  explicit PrivateWorkDir(const std::string& outputPath);
  ~PrivateWorkDir();
  PrivateWorkDir(const PrivateWorkDir&) = delete;
  PrivateWorkDir& operator=(const PrivateWorkDir&) = delete;

  // False when the folder could not be made or entered; the job's report
  // then holds the system's reason.
  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  bool Create(const std::filesystem::path& parent, int parentFd);

  std::filesystem::path previous_;
  std::filesystem::path path_;
  int lockFd_ = -1;
};

}  // namespace quarnet
