#pragma once
// The commands of quarnet-cli. Each takes the arguments after its name and
// returns the process exit code; usage errors return 2.
namespace quarnet::cli {

inline constexpr int kExitUsage = 2;

int Unpack(int argc, char** argv);
int Info(int argc, char** argv);
int Diff(int argc, char** argv);
int Repack(int argc, char** argv);
int Products(int argc, char** argv);

}  // namespace quarnet::cli
