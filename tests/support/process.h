#pragma once
// Runs one of the project's executables in a given working directory and
// collects its exit status, standard output and standard error.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quarnet::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
  long peakRssKiB = 0;  // the process's peak resident memory
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir);
// POSIX only: the same, running `inChild` in the child just before the
// program starts (to lower limits, drop privileges or set the environment),
// and `whileRunning` in the parent once it has started (to watch it or
// send it a signal), before waiting for its end.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir, const std::function<void()>& inChild,
                         const std::function<void(pid_t)>& whileRunning = {});

// Windows only: the same, ended outright (TerminateProcess) after
// `milliseconds` unless it ended before.
ProcessResult RunProcessKilledAfter(const std::string& program, const std::vector<std::string>& args,
                                    const std::filesystem::path& workDir, int milliseconds);

// POSIX only: true once process `pid`, a child of the caller, has ended;
// it stays to be waited for.
bool HasEnded(pid_t pid);

// Path (UTF-8) of an executable of build/bin.
std::string BinPath(const std::string& name);

// A copy of the executable `name` of build/bin in `dir`, for a process that
// gives up root's privileges and may not reach the build tree.
std::string CopyOfProgram(const std::string& name, const std::filesystem::path& dir);

}  // namespace quarnet::test
