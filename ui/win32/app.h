#pragma once
// The Windows window program: quarnet.exe [--lang zh|en] | --version | --help.

namespace quarnet::win32 {

// Runs the program with the process's arguments; its exit status.
int Main(int argc, char** argv);

}  // namespace quarnet::win32
