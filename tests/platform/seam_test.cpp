// The seam's promises on its own: a staged file has no name until it is
// committed and replaces only what may be replaced; relative names follow
// the working folder; a private folder is locked against the sweep.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/os.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;
using Seam = InTempDir;

os::Error Stage(const std::string& path, const std::string& text, os::StagedFile& staged) {
  if (const os::Error error = staged.Create(os::WorkingFolder(), path)) return error;
  return staged.file().Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST_F(Seam, StagedFileTakesItsNameOnlyOnCommit) {
  WriteText("a.bin", "old");
  fs::permissions("a.bin", fs::perms::owner_read | fs::perms::group_read);
  {
    os::StagedFile dropped;
    ASSERT_EQ(Stage("a.bin", "dropped", dropped), 0);
  }
  os::StagedFile staged;
  ASSERT_EQ(Stage("a.bin", "new", staged), 0);
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"});
  EXPECT_EQ(ReadText("a.bin"), "old");
  const os::Committed c = staged.Commit();
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(c.warning, 0);
  EXPECT_EQ(ReadText("a.bin"), "new");
  EXPECT_EQ(fs::status("a.bin").permissions(), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"});
}

// Without unnamed files (the fault plan fails that open as a file system
// without them would) the file is staged under a hidden name that goes.
TEST_F(Seam, HiddenNameWhereUnnamedFilesAreMissing) {
  os::SetFaultPlan({2, EOPNOTSUPP});  // the folder's open, then the unnamed file's
  os::StagedFile staged;
  ASSERT_EQ(Stage("b.bin", "bytes", staged), 0);
  os::SetFaultPlan({});
  ASSERT_EQ(ListDir(dir()).size(), 1u);
  EXPECT_EQ(ListDir(dir())[0].rfind(".b.bin.", 0), 0u);
  ASSERT_EQ(staged.Commit().error, 0);
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"b.bin"});
}

TEST_F(Seam, FoldersAndSpecialFilesAreNeverReplaced) {
  fs::create_directory("d.bin");
  os::StagedFile staged;
  ASSERT_EQ(Stage("d.bin", "x", staged), 0);
  EXPECT_EQ(staged.Commit().error, os::kNotPlainTarget);
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"d.bin"});
  os::File file;
  EXPECT_EQ(os::OpenForReading(os::WorkingFolder(), "d.bin", file), os::kNotRegularFile);
  EXPECT_EQ(os::Describe(os::kNotRegularFile), "not a regular file");
}

TEST_F(Seam, RelativeNamesFollowTheWorkingFolder) {
  fs::create_directory("sub");
  os::Folder sub;
  ASSERT_EQ(os::OpenFolder(os::Folder(), "sub", sub), 0);
  {
    const os::ScopedWorkingFolder working(sub);
    os::StagedFile staged;
    ASSERT_EQ(Stage("c.bin", "in sub", staged), 0);
    ASSERT_EQ(staged.Commit().error, 0);
  }
  EXPECT_EQ(ReadText("sub/c.bin"), "in sub");
  EXPECT_FALSE(fs::exists("c.bin"));
}

TEST_F(Seam, PrivateFolderIsLockedAndRemoved) {
  std::string where;
  os::PrivateFolder live;
  ASSERT_EQ(live.Create(os::Folder(), ".", ".job-", where), 0) << where;
  WriteText(fs::path(live.path()) / "inside", "x");
  os::PrivateFolder other;
  ASSERT_EQ(other.Create(os::Folder(), ".", ".job-", where), 0) << where;
  EXPECT_EQ(ListDir(dir()).size(), 2u);  // the sweep left the live folder alone
  EXPECT_EQ(live.Remove(), 0);
  EXPECT_EQ(other.Remove(), 0);
  EXPECT_TRUE(ListDir(dir()).empty());
}

}  // namespace
}  // namespace quarnet::test
