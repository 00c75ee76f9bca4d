// How the package file comes into being: exact bytes of items that span
// several stream blocks, an existing file of the package's name (kept on
// failure, overwritten in place on success), item files that change under
// the build, and nothing left behind by a failed build.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "basic/staged_file.h"
#include "package/output.h"
#include "tests/basic/packall_support.h"
#include "tests/support/faults.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

using PackageOutput = InTempDir;

ino_t Inode(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

Bytes KernelPackage(const Bytes& kernel) {
  return LayOutPackage({{"KERNEL", "flash:kernel", kernel, "", 0}, EfsItem()});
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

// The file under construction has no name until it is complete.
TEST_F(PackageOutput, StagedFileIsUnnamedUntilInstalled) {
  {
    StagedFile discarded("a.bin");
    ASSERT_TRUE(discarded.ok());
    const Bytes bytes = BytesOf("never named");
    ASSERT_TRUE(discarded.WriteAt(0, bytes.data(), bytes.size()));
  }
  StagedFile file("b.bin");
  ASSERT_TRUE(file.ok());
  const Bytes tail = BytesOf("tail"), head = BytesOf("head");
  ASSERT_TRUE(file.WriteAt(4, tail.data(), tail.size()));
  ASSERT_TRUE(file.WriteAt(0, head.data(), head.size()));
  EXPECT_TRUE(ListDir(dir()).empty());
  ASSERT_TRUE(file.Install(8));
  EXPECT_EQ(ReadText("b.bin"), "headtail");
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"b.bin"});
}

// A file that already has the package's name is opened for writing only
// once the package is complete, as if written directly: through links, in
// place, and untouched by a build that fails before.
TEST_F(PackageOutput, ExistingFileOfThePackagesName) {
  const Bytes kernel = BytesOf("kernel bytes");
  WriteBytes("k", kernel);
  WriteText("package[K].bin", "old package");

  EXPECT_EQ(RunPackAll({"-Kmissing"}).output, ErrorLine(554));
  EXPECT_EQ(RunPackAll({"-Kk", "-Umissing"}).output, ErrorLine(554));
  EXPECT_EQ(ReadText("package[K].bin"), "old package");
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"k", "package[K].bin"}));

  fs::create_hard_link("package[K].bin", "link.bin");
  const ino_t inode = Inode("package[K].bin");
  ASSERT_EQ(RunPackAll({"-Kk"}).output, "");
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(kernel));
  EXPECT_EQ(ReadBytes("link.bin"), KernelPackage(kernel));
  EXPECT_EQ(Inode("package[K].bin"), inode);

  // The old package itself as the item.
  const Bytes old = ReadBytes("package[K].bin");
  ASSERT_EQ(RunPackAll({"-Kpackage[K].bin"}).output, "");
  EXPECT_EQ(ReadBytes("package[K].bin"), KernelPackage(old));

  // A link to a file that does not exist yet creates that file.
  fs::remove("package[K].bin");
  fs::create_symlink("target.bin", "package[K].bin");
  ASSERT_EQ(RunPackAll({"-Kk"}).output, "");
  EXPECT_TRUE(fs::is_symlink("package[K].bin"));
  EXPECT_EQ(ReadBytes("target.bin"), KernelPackage(kernel));
}

// PackAll in a child; its lines go to the child's output.
int PackAllInChild(const std::vector<std::string>& args) {
  const PackAllRun run = RunPackAll(args);
  Print("%s", run.output.c_str());
  return run.result;
}

// Permissions decide as they would for a direct write. Runs as nobody in a
// child, since root ignores permission bits.
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
  for (const Row& row : {Row{"ro-existing", false, true, writable, true}, Row{"ro-none", false, false, writable, false},
                         Row{"rw-readonly-file", true, true, readOnly, false}}) {
    fs::create_directory(row.folder);
    if (row.existing) {
      WriteText(fs::path(row.folder) / "package[K].bin", "old");
      fs::permissions(fs::path(row.folder) / "package[K].bin", row.fileMode);
    }
    fs::permissions(row.folder, row.folderWritable ? fs::perms::all : readOnly);
    const auto before = Snapshot(row.folder);
    const ChildResult r = RunInChild([&] {
      if (!DropRootPrivileges()) return kFaultUnavailable;
      const ScopedChdir inside(row.folder);
      return PackAllInChild({"-K../k"});
    });
    if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << "cannot give up root's privileges";
    if (row.builds) {
      EXPECT_EQ(r.exitCode, 0) << row.folder << r.output;
      EXPECT_EQ(ReadBytes(fs::path(row.folder) / "package[K].bin"), KernelPackage(kernel)) << row.folder;
    } else {
      EXPECT_EQ(r.output, ErrorLine(554)) << row.folder;
      EXPECT_EQ(Snapshot(row.folder), before) << row.folder;
    }
  }
}

// An item file that grows after its size was taken is packed up to that
// size; one that shrinks or goes fails the build, which leaves nothing
// behind. The gate acts at the second open (the first is the size query).
TEST_F(PackageOutput, ItemFileChangesBetweenSizeAndRead) {
  const Bytes kernel = PatternBytes(100000);
  struct Row {
    const char* what;
    std::function<bool()> act;
    bool builds;
  };
  const fs::path k = dir() / "k";
  const std::vector<Row> rows = {
      {"grows", [&] { fs::resize_file(k, 150000); return true; }, true},
      {"shrinks", [&] { fs::resize_file(k, 99999); return true; }, false},
      {"goes", [&] { fs::remove(k); return false; }, false},
  };
  for (const Row& row : rows) {
    WriteBytes("k", kernel);
    WriteText("package[UK].bin", "old");
    WriteText("u", "uboot");
    PackAllRun run;
    {
      OpenGate gate(k, 2, row.act);
      if (!gate.ok()) GTEST_SKIP() << "cannot watch file accesses here";
      run = RunPackAll({"-Uu", "-Kk"});
    }
    if (row.builds) {
      EXPECT_EQ(run.output, "") << row.what;
      EXPECT_EQ(ReadBytes("package[UK].bin"),
                LayOutPackage({{"UBOOT", "flash:uboot", BytesOf("uboot"), "", 0},
                               {"KERNEL", "flash:kernel", kernel, "", 0},
                               EfsItem()}))
          << row.what;
    } else {
      EXPECT_EQ(run.output, ErrorLine(554)) << row.what;
      EXPECT_EQ(ReadText("package[UK].bin"), "old") << row.what;
    }
    fs::remove("k");
    EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"package[UK].bin", "u"})) << row.what;
  }
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

}  // namespace
}  // namespace quarnet::test
