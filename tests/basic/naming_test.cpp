// Output naming and the file utilities.
#include "basic/naming.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/basic/packall_support.h"
#include "tests/support/package_builder.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

ItemNameTable Names(const std::vector<std::string>& names) {
  ItemNameTable table{};
  for (std::size_t i = 0; i < names.size(); ++i) SetText(table[i], names[i]);
  return table;
}

TEST(ExpectedPackageName, LettersInTableOrder) {
  struct Case {
    std::vector<std::string> names;
    int count;
    std::string expected;
  };
  const Case cases[] = {
      {{"UBOOT", "KERNEL", "ROOTFS", "MINISYS"}, 4, "package[UKRM].bin"},
      {{"UBOOT", "MINISYS", "KERNEL", "ROOTFS", "UPDATEFLAG"}, 5, "package[UMKRF].bin"},
      {{"UNKNOWN", "kernel", "KERNEL ", "EFS", "SYSTEM", "ROOTFS"}, 6, "package[R].bin"},
      {{"KERNEL", "ROOTFS"}, 1, "package[K].bin"},
      {{"KERNEL"}, 0, "package[].bin"},
      {{"KERNEL"}, -3, "package[].bin"},
      {std::vector<std::string>(16, "UBOOT"), 99, "package[" + std::string(16, 'U') + "].bin"},
  };
  for (const Case& c : cases) {
    PathBuffer out;
    out.fill('x');
    ExpectedPackageName(c.count, Names(c.names), out);
    EXPECT_EQ(GetText(out), c.expected);
  }
}

TEST(DefaultNewPackageName, KeepsTheDirectoryAndReplacesTheExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\fw\\pkg.bin", "C:\\fw\\pkg_new.bin"},
      {"a.b.bin", "a.b_new.bin"},
      {"pkg", "pkg_new.bin"},
      {"dir.x/pkg", "dir.x/pkg_new.bin"},
      {"dir.x\\pkg", "dir.x\\pkg_new.bin"},
      {"/srv/fw/.bin", "/srv/fw/_new.bin"},
      {"dir/", "dir/_new.bin"},
      {"C:pkg.bin", "C:pkg_new.bin"},
      {"", "_new.bin"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(DefaultNewPackageName(in), out) << in;
}

TEST(DefaultNewPackageName, AnyLength) {
  const std::string dirs = Repeat(5000, 'd') + "/";
  const std::string stem = Repeat(5000, 's');
  EXPECT_EQ(DefaultNewPackageName((dirs + stem + ".bin").c_str()), dirs + stem + "_new.bin");
  EXPECT_EQ(DefaultNewPackageName(stem.c_str()).size(), stem.size() + 8);
}

using FileUtilities = InTempDir;

TEST_F(FileUtilities, ReadFileSize) {
  std::uint64_t size = 99;
  WriteText("empty", "");
  EXPECT_EQ(ReadFileSize("empty", size), 0);
  EXPECT_EQ(size, 0u);
  WriteBytes("three", {0, 1, 0});
  EXPECT_EQ(ReadFileSize("three", size), 0);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(ReadFileSize("missing", size), -1);
  fs::create_directory("folder");
  EXPECT_EQ(ReadFileSize("folder", size), -1);
  EXPECT_EQ(ReadFileSize(nullptr, size), -1);
}

TEST_F(FileUtilities, JoinFilesReplacesTheTargetExactly) {
  // Larger than the copy block, with zero bytes throughout.
  Bytes source((3u << 20) + 17);
  for (std::size_t i = 0; i < source.size(); i += 3) source[i] = static_cast<std::uint8_t>(i >> 5);
  WriteBytes("source", source);
  WriteText("target", std::string(5u << 20, 'x'));
  EXPECT_EQ(JoinFiles("target", {"source"}), 0);
  EXPECT_EQ(ReadBytes("target"), source);
  WriteText("empty", "");
  WriteText("small", "ab");
  EXPECT_EQ(JoinFiles("target", {"small", "empty", "source", "small"}), 0);
  Bytes expected = BytesOf("ab");
  expected.insert(expected.end(), source.begin(), source.end());
  expected.insert(expected.end(), {'a', 'b'});
  EXPECT_EQ(ReadBytes("target"), expected);
  // The target may be one of its sources: it is replaced only at the end.
  EXPECT_EQ(JoinFiles("small", {"small", "small"}), 0);
  EXPECT_EQ(ReadText("small"), "abab");
}

// A failure names the source it happened in and leaves the target as it was.
TEST_F(FileUtilities, JoinFilesFailures) {
  WriteText("source", "s");
  WriteText("target", "keep");
  std::size_t failed = 9;
  EXPECT_EQ(JoinFiles("target", {"source", "missing"}, &failed), 1);
  EXPECT_EQ(failed, 1u);
  EXPECT_EQ(JoinFiles("target", {"missing", "source"}, &failed), 1);
  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(JoinFiles("target", {nullptr}), 1);
  EXPECT_EQ(ReadText("target"), "keep");
  EXPECT_EQ(JoinFiles(nullptr, {"source"}), 1);
  EXPECT_EQ(JoinFiles("no/such/dir/target", {"source"}), 1);
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"source", "target"}));
}

TEST_F(FileUtilities, PackageNamesOfTheBuilder) {
  for (const char* name : {"u", "y", "k", "r", "f", "d"}) WriteText(name, name);
  struct Case {
    std::vector<std::string> args;
    std::string name;
  };
  const Case cases[] = {
      {{"-Uu", "-Kk", "-Rr", "-Ox", "-T"}, "package[UKR]_x_debug.bin"},
      {{"-Uu", "-Kk", "-Rr"}, "package[UKR].bin"},
      {{"-Rr", "-Kk", "-Yy", "-Uu"}, "package[UMKR].bin"},
      {{"-Ff", "-nd@/a", "-O"}, "package[F].bin"},
      {{"-nd@/a"}, "package[].bin"},
      {{"-nd@/a", "-T", "-Oz"}, "package[]_z_debug.bin"},
      {{"-Uu", "-I", "-Kk", "-Rr", "-Ff"}, "package[US].bin"},
      {{"-S", "-Kk", "-Rr", "-Ov1"}, "package[S]_v1.bin"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunPackAll(c.args).output, "") << c.name;
    EXPECT_TRUE(fs::exists(c.name)) << c.name;
  }
}

}  // namespace
}  // namespace quarnet::test
