// The seam's promises on its own: a staged file has no name until it is
// committed and replaces only what may be replaced; relative names follow
// the working folder; a private folder is locked against the sweep.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/final_names.h"
#else
#include <signal.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>
#include <string>

#include "platform/fault_plan.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/staged.h"
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
  const fs::perms mode = fs::status("a.bin").permissions();  // Windows: read-only
#ifdef _WIN32
  ::SetFileAttributesW(L"a.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
#endif
  {
    os::StagedFile dropped;
    ASSERT_EQ(Stage("a.bin", "dropped", dropped), 0);
  }
  os::StagedFile staged;
  ASSERT_EQ(Stage("a.bin", "new", staged), 0);
#ifdef _WIN32
  EXPECT_EQ(ListDir(dir()).size(), 2u);  // no unnamed files: the staged one has a hidden name
#else
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"});
#endif
  EXPECT_EQ(ReadText("a.bin"), "old");
  const os::Committed c = staged.Commit();
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(c.warning, 0);
  EXPECT_EQ(ReadText("a.bin"), "new");
  EXPECT_EQ(fs::status("a.bin").permissions(), mode);
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"});
#ifdef _WIN32
  EXPECT_EQ(::GetFileAttributesW(L"a.bin") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});
#endif
}

// The folder's sync, the last call of a commit, fails: the name is
// replaced all the same, and the commit says so.
// A durable commit syncs the file, closes it, renames it over the final
// name and syncs the folder, in this order. A failed file sync or close
// (the late write error of a network file system) fails the commit and
// leaves the old file; a failed folder sync is a warning.
TEST_F(Seam, CommitMakesItsPromisesInOrder) {
  using enum os::Promise;
  WriteText("a.bin", "old");
  os::StagedFile staged;
  ASSERT_EQ(Stage("a.bin", "new", staged), 0);
  os::SetFaultPlan({0, 0, false, true});
  ASSERT_EQ(staged.Commit().error, 0);
  const std::vector<os::PromisedCall> promised = os::PromisedCalls();
  os::SetFaultPlan({});
  std::vector<os::Promise> order;
  for (const os::PromisedCall& p : promised) order.push_back(p.promise);
  ASSERT_EQ(order, (std::vector<os::Promise>{kFileSync, kClose, kDurableRename, kFolderSync}));
  for (const os::PromisedCall& p : promised) {
    WriteText("a.bin", "old");
    os::StagedFile again;
    ASSERT_EQ(Stage("a.bin", "new", again), 0);
    os::SetFaultPlan({p.call, EIO});
    const os::Committed c = again.Commit();
    os::SetFaultPlan({});
    const bool replaced = p.promise == kFolderSync;
    EXPECT_EQ(c.error, replaced ? 0 : EIO) << p.call;
    EXPECT_EQ(c.warning, replaced ? EIO : 0) << p.call;
    EXPECT_EQ(ReadText("a.bin"), replaced ? "new" : "old") << p.call;
    EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"}) << p.call;
  }
}

// Stages `path` under a hidden name, as where unnamed files are missing:
// the fault plan fails the open of the unnamed file as such a file system
// would, whichever call that is (Windows has no unnamed files).
os::Error StageHidden(const std::string& path, os::StagedFile& staged) {
  const std::vector<std::string> before = ListDir(fs::current_path());
  os::Error error = Stage(path, "bytes", staged);
#ifndef _WIN32
  for (std::uint64_t call = 1; std::ranges::includes(before, ListDir(fs::current_path())) && call < 100; ++call) {
    os::SetFaultPlan({call, EOPNOTSUPP});
    error = Stage(path, "bytes", staged);
    os::SetFaultPlan({});
  }
#endif
  return error;
}

// Without unnamed files the file is staged under a hidden name that goes
// at its commit. The hidden names of the same final name that a killed
// process left go at the next staging; a live staged file's and other
// names stay.
TEST_F(Seam, HiddenNameWhereUnnamedFilesAreMissing) {
  const std::vector<std::string> others = {".b.bin.abcde", ".b.bin.abc-ef", ".b.bin.abcdefg", ".c.bin.abcdef",
                                           "b.bin.abcdef"};
  for (const std::string& name : others) WriteText(name, "not staged");
  WriteText(".b.bin.Ab3xyZ", "left by a killed process");
  os::StagedFile live;
  ASSERT_EQ(StageHidden("b.bin", live), 0);
  os::StagedFile staged;
  ASSERT_EQ(StageHidden("b.bin", staged), 0);
  EXPECT_EQ(ListDir(dir()).size(), others.size() + 2);
  EXPECT_EQ(std::ranges::count(ListDir(dir()), ".b.bin.Ab3xyZ"), 0);
  ASSERT_EQ(staged.Commit().error, 0);
  live.Discard();
  EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{".b.bin.abc-ef", ".b.bin.abcde", ".b.bin.abcdefg",
                                                       ".c.bin.abcdef", "b.bin", "b.bin.abcdef"}));
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
#ifdef _WIN32
  EXPECT_EQ(::GetFileAttributesW(L"sub\\c.bin") & FILE_ATTRIBUTE_HIDDEN, 0u);  // staged hidden, committed plain
#endif
}

TEST_F(Seam, PrivateFolderIsLockedAndRemoved) {
  std::string where;
  os::PrivateFolder live;
  ASSERT_EQ(live.Create(os::Folder(), ".", ".job-", where), 0) << where;
  WriteText(fs::path(live.path()) / "inside", "x");
  fs::create_directory(".job-gone");  // the remains of a job that died
  WriteText(".job-gone/lock", "");
  WriteText(".job-gone/KERNEL.bin", "partial");
  os::PrivateFolder other;
  ASSERT_EQ(other.Create(os::Folder(), ".", ".job-", where), 0) << where;
  EXPECT_EQ(ListDir(dir()).size(), 2u);  // the sweep took the dead job's folder, not the live one
  EXPECT_EQ(live.Remove(), 0);
  EXPECT_EQ(other.Remove(), 0);
  EXPECT_TRUE(ListDir(dir()).empty());
}

// Two jobs start beside one output at the same moment, many times: each
// sweep runs while the other job makes its folder, and neither loses it.
TEST_F(Seam, SweepNeverTakesAFolderBeingMade) {
  for (int round = 0; round < 500; ++round) {
    std::array<os::PrivateFolder, 2> folders;
    std::array<os::Error, 2> errors{};
    std::atomic<int> ready{0};
    const auto start = [&](std::size_t i) {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      std::string where;
      errors[i] = folders[i].Create(os::Folder(), ".", ".job-", where);
    };
    std::thread other(start, 1);
    start(0);
    other.join();
    for (std::size_t i = 0; i < 2; ++i) {
      ASSERT_EQ(errors[i], 0) << round;
      ASSERT_TRUE(fs::is_directory(folders[i].path())) << round;
      WriteText(fs::path(folders[i].path()) / "inside", "x");
    }
  }
  EXPECT_TRUE(ListDir(dir()).empty());
}

#ifdef _WIN32
// Windows refuses a final name held by a link or by a second name of
// another file: the file behind it stays as it was, and nothing is left.
TEST_F(Seam, WindowsRefusesLinkedFinalNames) {
  const std::pair<const char*, std::function<bool()>> rows[] = {
      {"hard link", [] { return ::CreateHardLinkW(L"a.bin", L"victim", nullptr) != 0; }},
      {"symbolic link",
       [] { return ::CreateSymbolicLinkW(L"a.bin", L"victim", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0; }},
  };
  for (const auto& [what, plant] : rows) {
    WriteText("victim", "precious");
    os::Entry entry;
    if (!plant() || os::Look(os::WorkingFolder(), "a.bin", entry) != 0 || entry.kind == os::Kind::kNothing) {
      RecordProperty(what, "cannot be made here");
      continue;
    }
    os::StagedFile staged;
    ASSERT_EQ(Stage("a.bin", "new", staged), 0) << what;
    EXPECT_EQ(staged.Commit().error, os::kLinkedTarget) << what;
    EXPECT_EQ(ReadText("victim"), "precious") << what;
    EXPECT_EQ(ListDir(dir()), (std::vector<std::string>{"a.bin", "victim"})) << what;
    fs::remove("a.bin");
  }
}

// Of the reparse points only links are refused: a cloud file's
// placeholder, a deduplicated file or an app's alias is the file itself.
TEST(SeamWindows, ReparsePointsThatAreNoLinks) {
  using os::win::Holder;
  constexpr DWORD kPoint = FILE_ATTRIBUTE_REPARSE_POINT;
  constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
  const std::tuple<DWORD, DWORD, DWORD, Holder> rows[] = {  // attributes, tag, links
      {0, 0, 1, Holder::kPlainFile}, {0, 0, 2, Holder::kLinked}, {kPoint, IO_REPARSE_TAG_SYMLINK, 1, Holder::kLinked},
      {kPoint | kFolder, IO_REPARSE_TAG_MOUNT_POINT, 1, Holder::kLinked}, {kFolder, 0, 1, Holder::kNotPlain},
      {kPoint, IO_REPARSE_TAG_CLOUD_6, 1, Holder::kPlainFile}, {kPoint, IO_REPARSE_TAG_DEDUP, 2, Holder::kLinked},
      {kPoint, IO_REPARSE_TAG_APPEXECLINK, 1, Holder::kPlainFile}, {kPoint | kFolder, IO_REPARSE_TAG_CLOUD_6, 1,
                                                                    Holder::kNotPlain},
  };
  for (const auto& [attributes, tag, links, holder] : rows) {
    const os::win::Node node{true, true, attributes, tag, links, 0};
    EXPECT_EQ(os::win::HolderOf(node), holder) << std::hex << attributes << " " << tag << " " << links;
    EXPECT_EQ(os::win::IsLink(node), holder == Holder::kLinked && links == 1);
  }
}

// Devices and pipes are no inputs, and a device's name is no final name.
TEST_F(Seam, WindowsDevicesAndPipes) {
  const std::string pipe = "\\\\.\\pipe\\quarnet-test-" + std::to_string(::GetCurrentProcessId());
  const HANDLE server = ::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const std::string& path : {std::string("NUL"), pipe}) {
    os::File file;
    EXPECT_EQ(os::OpenForReading(os::WorkingFolder(), path, file), os::kNotRegularFile) << path;
  }
  ::CloseHandle(server);
  os::StagedFile staged;
  ASSERT_EQ(Stage("NUL", "x", staged), 0);
  EXPECT_EQ(staged.Commit().error, os::kNotPlainTarget);
  EXPECT_TRUE(ListDir(dir()).empty());
}

// Another program holds the final name open without sharing it: the
// rename is retried for about a second, then fails and says so.
TEST_F(Seam, WindowsFileHeldByAnotherProgram) {
  WriteText("a.bin", "old");
  const HANDLE held = ::CreateFileW(L"a.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  os::StagedFile staged;
  ASSERT_EQ(Stage("a.bin", "new", staged), 0);
  const auto start = std::chrono::steady_clock::now();
  const os::Error error = staged.Commit().error;
  const auto waited = std::chrono::steady_clock::now() - start;
  ::CloseHandle(held);
  EXPECT_NE(os::Describe(error).find("another program holds the file"), std::string::npos) << os::Describe(error);
  EXPECT_GE(waited, std::chrono::milliseconds(500));
  EXPECT_EQ(ReadText("a.bin"), "old");
  EXPECT_EQ(ListDir(dir()), std::vector<std::string>{"a.bin"});
}
#endif

// The names Windows cannot hold, judged the same on every system.
TEST(NameRules, WindowsNameProblem) {
  const std::pair<const char*, const char*> rows[] = {
      {"KERNEL.bin", ""},        {"CONSOLE.bin", ""},
      {"COM10.bin", ""},         {"固件.bin", ""},
      {"CON", "CON is the name of a device"},
      {"con.bin", "con is the name of a device"},
      {"NUL .bin", "NUL is the name of a device"},
      {"Lpt9.tar.gz", "Lpt9 is the name of a device"},
      {"CONOUT$.bin", "CONOUT$ is the name of a device"},
      {"a?b.bin", "it holds one of the characters < > : \" / \\ | ? *"},
      {"a|b", "it holds one of the characters < > : \" / \\ | ? *"},
      {"a\x1f.bin", "it holds a control character"},
      {"x.", "it ends in a dot or a blank"},
      {"x ", "it ends in a dot or a blank"},
  };
  for (const auto& [name, why] : rows) EXPECT_EQ(os::WindowsNameProblem(name), why) << name;
}

#ifndef _WIN32
// Stop signals nest: an inner object shares the outer's handlers and
// notifier, and the handling from before comes back only when the
// outermost ends.
TEST(StopSignals, Nest) {
  static std::atomic<int> heard{0};
  struct sigaction mine {}, saved{};
  mine.sa_handler = [](int) { heard.fetch_add(1); };
  sigemptyset(&mine.sa_mask);
  ::sigaction(SIGHUP, &mine, &saved);
  {
    const os::StopSignals outer;
    const int notifier = os::StopSignalNotifier();
    { const os::StopSignals inner; }
    EXPECT_EQ(os::StopSignalNotifier(), notifier);
    std::raise(SIGHUP);
    EXPECT_EQ(os::StopSignal(), SIGHUP);
  }
  os::ClearStopSignal();
  EXPECT_EQ(os::StopSignalNotifier(), -1);
  std::raise(SIGHUP);
  EXPECT_EQ(heard.load(), 1);
  EXPECT_EQ(os::StopSignal(), 0);
  ::sigaction(SIGHUP, &saved, nullptr);
}
#endif

}  // namespace
}  // namespace quarnet::test
