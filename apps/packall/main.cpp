// packall: the package-building engine as a command.
#include <cstdio>
#include <string>
#include <vector>

#include "basic/packall.h"
#include "package/display_text.h"
#include "package/job_control.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  quarnet::os::PrepareStandardStreams();
  const std::vector<std::string> args = quarnet::os::ProgramArguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& arg : args) pointers.push_back(arg.c_str());
  quarnet::ResetJobReport();
  const int result = quarnet::PackAll(static_cast<int>(pointers.size()), pointers.data());
  // Standard output has the engine's own line; why it failed goes beside it.
  const std::string reason = quarnet::LastJobReport().reason;
  if (result != 0 && !reason.empty()) std::fprintf(stderr, "packall: %s\n", quarnet::DisplayText(reason).c_str());
  return result;
}
