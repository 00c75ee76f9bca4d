#pragma once
// Runs one of the project's executables in a given working directory and
// collects its exit status, standard output and standard error.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quarnet::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir);
// The same, running `inChild` in the child just before the program starts
// (to lower limits, drop privileges or set the environment).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workDir, const std::function<void()>& inChild);

// Path of an executable of build/bin.
std::string BinPath(const std::string& name);

}  // namespace quarnet::test
