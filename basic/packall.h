#pragma once
// The package-building engine, called like a command: option letters in an
// argument vector whose entry 0 is never read. Returns 0 after a package was
// written or the help text printed, 1 after a failure (one error line).
namespace quarnet {

int PackAll(int argc, const char* const* argv);

}  // namespace quarnet
