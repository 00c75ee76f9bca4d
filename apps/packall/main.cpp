// packall: the package-building engine as a command.
#include <string>
#include <vector>

#include "basic/packall.h"
#include "platform/os.h"

int main(int argc, char** argv) {
  quarnet::os::PrepareStandardStreams();
  const std::vector<std::string> args = quarnet::os::ProgramArguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& arg : args) pointers.push_back(arg.c_str());
  return quarnet::PackAll(static_cast<int>(pointers.size()), pointers.data());
}
