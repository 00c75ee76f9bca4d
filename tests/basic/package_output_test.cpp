// How the package file comes into being: exact bytes of items that span
// several stream blocks, an existing file of the package's name (kept on
// failure, replaced whole on success), item files that change under the
// build, and nothing left behind by a failed build.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "basic/item_head.h"
#include "package/job_control.h"
#include "package/job_log.h"
#include "package/output.h"
#include "package/reader.h"
#include "repack/repack.h"
#include "tests/basic/packall_support.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "tests/support/faults.h"
#endif

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

using PackageOutput = InTempDir;

Bytes KernelPackage(const Bytes& kernel) {
  return LayOutPackage({{"KERNEL", "flash:kernel", kernel, "", 0}, EfsItem()});
}

bool InFolder(const fs::path& folder, const std::function<bool()>& run) {
  const ScopedChdir in(folder);
  return run();
}

int Unpack(const char* package) {
  ItemNameTable names{};
  ProductListBuffer products{};
  const CapturedOutput quiet;
  return UnpackPackage(package, names, products);
}

TEST_F(PackageOutput, ItemsAcrossSeveralBlocksGiveExactBytes) {
  const Bytes uboot = PatternBytes((1 << 20) - 1), kernel = PatternBytes(1 << 20),
              rootfs = PatternBytes((2 << 20) + 3);
  WriteBytes("u", uboot);
  WriteBytes("k", kernel);
  WriteBytes("r", rootfs);
  ASSERT_EQ(RunPackAll({"-Uu", "-Kk", "-Rr", "-vV2"}).output, "");
  EXPECT_EQ(ReadBytes("package[UKR].bin"),
            LayOutPackage({{"UBOOT", "flash:uboot", uboot, "", 0},
                           {"KERNEL", "flash:kernel", kernel, "V2", 0},
                           {"ROOTFS", "flash:rootfs", rootfs, "V2", 0},
                           EfsItem()}));
}

// A file that already has the package's name is replaced only once the
// package is complete, by a rename: its bytes survive under any other name
// it has, and a build that fails leaves it as it was.
TEST_F(PackageOutput, ExistingFileOfThePackagesName) {
  const Bytes kernel = BytesOf("kernel bytes");
  WriteBytes("k", kernel);
  WriteText("package[K].bin", "old package");

  EXPECT_EQ(RunPackAll({"-Kmissing"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-Kk", "-Umissing"}).output, ErrorLine(554));
  EXPECT_EQ(ReadText("package[K].bin"), "old package");
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "package[K].bin"}));

  fs::create_hard_link("package[K].bin", "link.bin");
#ifdef _WIN32
  // Windows refuses a final name that has a second name.
  EXPECT_EQ(RunPackAll({"-Kk"}).output, ErrorLine(554));
  EXPECT_EQ(ReadText("package[K].bin"), "old package");
  fs::remove("link.bin");
  ASSERT_EQ(RunPackAll({"-Kk"}).output, "");
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(kernel));
#else
  ASSERT_EQ(RunPackAll({"-Kk"}).output, "");
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(kernel));
  EXPECT_EQ(ReadText("link.bin"), "old package");
#endif

  // The old package itself as the item.
  const Bytes old = ReadBytes("package[K].bin");
  ASSERT_EQ(RunPackAll({"-Kpackage[K].bin"}).output, "");
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(old));
}

#ifndef _WIN32
// PackAll in a child; its lines go to the child's output.
int PackAllInChild(const std::vector<std::string>& args) {
  const PackAllRun run = RunPackAll(args);
  Print("%s", run.output.c_str());
  return run.result;
}

// The folder's permissions decide, as for any rename; a replaced file's
// own permissions pass to the new one. Runs as nobody in a child, since
// root ignores permission bits.
TEST_F(PackageOutput, PermissionsOfTheFolderAndTheFile) {
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  const Bytes kernel = BytesOf("kernel");
  WriteBytes("k", kernel);
  fs::permissions("k", fs::perms::others_read, fs::perm_options::add);
  fs::permissions(dir(), readOnly | fs::perms::owner_write);
  struct Row {
    const char* folder;
    bool folderWritable;
    bool existing;
    fs::perms fileMode;
    bool builds;
  };
  const fs::perms writable = fs::perms::all;
  for (const Row& row : {Row{"ro-existing", false, true, writable, false}, Row{"ro-none", false, false, writable, false},
                         Row{"rw-readonly-file", true, true, readOnly, true}}) {
    fs::create_directory(row.folder);
    if (row.existing) {
      WriteText(fs::path(row.folder) / "package[K].bin", "old");
      fs::permissions(fs::path(row.folder) / "package[K].bin", row.fileMode);
    }
    fs::permissions(row.folder, row.folderWritable ? fs::perms::all : readOnly);
    const auto before = Snapshot(row.folder);
    const ChildResult r = RunInChild([&] {
      if (!DropRootPrivileges({dir()})) return kFaultUnavailable;
      const ScopedChdir inside(row.folder);
      return PackAllInChild({"-K../k"});
    });
    if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << kCannotRunAsNobody;
    if (row.builds) {
      EXPECT_EQ(r.exitCode, 0) << row.folder << r.output;
      EXPECT_EQ(ReadBytes(fs::path(row.folder) / "package[K].bin"), KernelPackage(kernel)) << row.folder;
      EXPECT_EQ(fs::status(fs::path(row.folder) / "package[K].bin").permissions(), row.fileMode) << row.folder;
    } else {
      EXPECT_EQ(r.output, ErrorLine(554)) << row.folder;
      EXPECT_EQ(Snapshot(row.folder), before) << row.folder;
    }
  }
}

// An item file is opened once: its size and its bytes come from that one
// open, whatever happens to the name meanwhile.
TEST_F(PackageOutput, ItemFileIsOpenedOnce) {
  const Bytes kernel = PatternBytes(100000);
  WriteBytes("k", kernel);
  PackAllRun run;
  int opens = 0;
  {
    OpenGate gate(dir() / "k", 99, [] { return true; });
    if (!gate.ok()) GTEST_SKIP() << "cannot watch file accesses here";
    run = RunPackAll({"-Kk"});
    opens = gate.opens();
  }
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(kernel));
}

// A disk that fills up while the package is written: the build fails, no
// partial package appears, and an earlier package stays as it was.
TEST_F(PackageOutput, DiskFullWhileWriting) {
  WriteBytes("k", PatternBytes(100000));
  for (const bool existing : {false, true}) {
    if (existing) WriteText("package[K].bin", "old");
    const auto before = Snapshot(dir());
    const ChildResult r = RunInChild([] {
      LimitFileSize(60000);
      return PackAllInChild({"-Kk"});
    });
    EXPECT_EQ(r.output, ErrorLine(554)) << existing;
    EXPECT_EQ(Snapshot(dir()), before) << existing;
  }
}

#endif

bool PackAllSucceeds(const std::vector<std::string>& args) { return RunPackAll(args).output.empty(); }

// Every fixed name the engine creates, with what makes it in a folder below
// the test's folder, which holds its inputs.
std::vector<std::pair<const char*, std::function<bool()>>> FixedNames() {
  WriteBytes("k", PatternBytes(5000));
  WriteBytes("r", PatternBytes(3000));
  WriteText("date", "2013-05-20_14:30:00");
  WriteBytes("p.bin", LayOutPackage(OriginalItems(), kProducts));
  return {
      {"KERNEL.bin", [] { return Unpack("../p.bin") == 4; }},
      {"pack_xml.log", [] { return OpenJobLog() && Unpack("../p.bin") == 4 && (CloseJobLog(), true); }},
      {"kernel[Head].bin", [] { return PackAllSucceeds({"-H", "-K../k", "-D../date"}); }},
      {"system.bin", [] { return PackAllSucceeds({"-S", "-K../k", "-R../r"}); }},
      {"package[K].bin", [] { return PackAllSucceeds({"-K../k"}); }},
      {"Updateflag", [] { return WriteUpdateFlag(1), true; }},
      {"script.sh", [] { return WriteDefaultScript("script.sh"), true; }},
  };
}

#ifdef _WIN32
// Windows: each of them, held by a second name of another file, is
// refused; that file keeps its bytes and nothing staged is left.
TEST_F(PackageOutput, FixedNamesWithASecondNameAreRefused) {
  for (const auto& [name, make] : FixedNames()) {
    fs::create_directory("w");
    WriteText("victim", "precious");
    const fs::path at = dir() / "w" / name;
    fs::create_hard_link("victim", at);
    InFolder(dir() / "w", make);
    EXPECT_EQ(ReadText("victim"), "precious") << name;
    EXPECT_EQ(ReadText(at), "precious") << name;
    for (const std::string& left : ListDir(dir() / "w")) EXPECT_NE(left[0], '.') << name;
    fs::remove_all("w");
  }
}
#else
// Each of them with a symbolic link, a second name of another file, a link
// to nowhere or a FIFO standing there first: the target and the other name
// stay as they were, nothing appears outside the folder, no open waits,
// and the new file holds what a clean folder gets; a FIFO is refused and
// stays.
TEST_F(PackageOutput, FixedNamesReplaceLinksAndNeverWriteThrough) {
  for (const auto& [name, make] : FixedNames()) {
    fs::create_directory("clean");
    ASSERT_TRUE(InFolder(dir() / "clean", make)) << name;
    const Bytes expected = ReadBytes(dir() / "clean" / name);
    fs::remove_all("clean");
    for (const char* plant : {"symlink", "hard link", "dangling", "fifo"}) {
      fs::create_directory("w");
      WriteText("victim", "precious");
      const fs::path at = dir() / "w" / name;
      if (plant[0] == 's') fs::create_symlink("../victim", at);
      if (plant[0] == 'h') fs::create_hard_link("victim", at);
      if (plant[0] == 'd') fs::create_symlink("../planted", at);
      if (plant[0] == 'f' && ::mkfifo(at.c_str(), 0666) != 0) FAIL() << "mkfifo " << name;
      const bool made = InFolder(dir() / "w", make);
      EXPECT_EQ(ReadText("victim"), "precious") << name << " " << plant;
      if (plant[0] == 'f') {
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(at))) << name;
        for (const std::string& left : ListDir(dir() / "w")) EXPECT_NE(left[0], '.') << name;
        fs::remove_all("w");
        continue;
      }
      EXPECT_TRUE(made) << name << " " << plant;
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(at))) << name << " " << plant;
      EXPECT_EQ(fs::hard_link_count(at), 1u) << name << " " << plant;
      EXPECT_EQ(ReadBytes(at), expected) << name << " " << plant;
      fs::remove_all("w");
      EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"date", "k", "p.bin", "r", "victim"})) << name << plant;
    }
  }
}

// One failing call of each kind names its cause in the job's report, and
// only there (the lines are as before). Each runs in a child of its own.
TEST_F(PackageOutput, EachKindOfFailedCallSaysWhy) {
  WriteText("k", "kernel");
  fs::create_directory("folder");
  fs::create_directory("ro");
  fs::create_symlink("../k", "ro/package[K].bin");
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions("ro", readOnly);
  fs::permissions(dir(), fs::perms::others_exec, fs::perm_options::add);
  const auto packAllFails = [](std::vector<std::string> args) { return RunPackAll(args).result == 1 ? 0 : 1; };
  const std::pair<std::function<int()>, std::string> rows[] = {
      {[&] { return packAllFails({"-Kmissing"}); }, "open missing: No such file or directory"},
      {[] { return Unpack("folder") == -1 ? 0 : 1; }, "open folder: not a regular file"},
      {[] { return WriteDefaultScript("k/script.sh"), 0; }, "create k/script.sh: Not a directory"},
      {[&] { return LimitFileSize(0), packAllFails({"-Kk"}); }, "write package[K].bin: File too large"},
      {[] { return LimitFileSize(0), WriteItemHead("k", "V1", 0, 1, "h") == 1 ? 0 : 1; }, "write h: File too large"},
      {[&] {
         if (!DropRootPrivileges({dir()}) || ::chdir("ro") != 0) return kFaultUnavailable;
         return packAllFails({"-K../k"});
       },
       "create package[K].bin: Permission denied"},
  };
  for (const auto& [run, reason] : rows) {
    const ChildResult r = RunInChild([&run = run] {
      ResetJobReport();
      const int code = run();
      Print("%s", LastJobReport().reason.c_str());
      return code;
    });
    if (r.exitCode == kFaultUnavailable) continue;  // cannot give up root's privileges here
    EXPECT_EQ(r.exitCode, 0) << reason;
    EXPECT_EQ(r.output, reason);
  }
  fs::permissions("ro", fs::perms::owner_all);
}
#endif

}  // namespace
}  // namespace quarnet::test
