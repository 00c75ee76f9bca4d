// The packall command: the engine behind a process boundary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/basic/packall_support.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

using PackAllCommand = InTempDir;

// Runs packall with `args` in the working directory; returns its exit
// status and leaves its output in "out.txt", its standard error in `err`.
int RunCommand(const std::vector<std::string>& args, std::string* err = nullptr) {
  const ProcessResult r = RunProcess(BinPath("packall"), args, ".");
  WriteText("out.txt", r.out);
  if (err != nullptr) *err = r.err;
  return r.exitCode;
}

TEST_F(PackAllCommand, BuildsInTheWorkingDirectory) {
  WriteText("k", "0123456789");
  WriteText("r", "01234567890123456789");
  EXPECT_EQ(RunCommand({"-Kk", "-Rr", "-vV1"}), 0);
  EXPECT_EQ(ReadText("out.txt"), "");
  const DecodedPackage p = DecodePackageFile("package[KR].bin");
  EXPECT_EQ(p.header.fileLen, 1266u);
}

TEST_F(PackAllCommand, PrintsWhatTheEngineReports) {
  EXPECT_EQ(RunCommand({"-Kmissing"}), 1);
  EXPECT_EQ(ReadText("out.txt"), ErrorLine(554));
  EXPECT_EQ(RunCommand({"-Kmissing", "?"}), 0);
  EXPECT_EQ(ReadText("out.txt").substr(0, 8), "Usage:\r\n");
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"out.txt"});
}

// A limit of the format refused names its field and limit on standard
// error; one byte less is built.
TEST_F(PackAllCommand, RefusalsNameTheFieldAndItsLimit) {
  WriteText("k", "kernel");
  const std::string device = "/" + std::string(249, 'd');
  std::string err;
  EXPECT_EQ(RunCommand({"-Kk", "-nk@" + device}), 0);
  EXPECT_EQ(RunCommand({"-Kk", "-nk@" + device + "d"}, &err), 1);
  EXPECT_EQ(ReadText("out.txt"), ErrorLine(554));
  EXPECT_EQ(err, "packall: -n: the device path " + device + "d is 251 bytes, more than the 250 a package holds\n");
  EXPECT_EQ(RunCommand({"-Kk", "-v" + std::string(64, 'v')}, &err), 1);
  EXPECT_EQ(err, "packall: -v: the version is 64 bytes, more than the 63 a package holds\n");
  EXPECT_EQ(RunCommand({"-Kmissing"}, &err), 1);
  EXPECT_EQ(err.rfind("packall: open missing: ", 0), 0u) << err;
}

}  // namespace
}  // namespace quarnet::test
