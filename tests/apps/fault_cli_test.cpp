// Faults through quarnet-cli: repack into read-only and full places, on a
// full disk, with an item file that changes under the builder, from
// truncated originals, onto the original itself and stopped by a signal;
// unpack of a package
// that would be overwritten by its own items or job log. The caller's folder
// also holds files named like every transient file of a job: after each
// case it is unchanged, except for the output of a successful job.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include "tests/support/faults.h"
#endif

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr char kPrecious[] = "precious";
constexpr char kRenameError[] = "Error: Rename new file error.\r\n";

class CliFaults : public ::testing::Test {
 protected:
  CliFaults() {
    WriteBytes(path("orig.bin"), LayOutPackage(Items(), kProducts));
    WriteText(path("cfg.xml"), "<config/>");
    WriteText(path("out.bin"), kPrecious);
    for (const char* name : {"KERNEL.bin", "UBOOT.bin", "Updateflag", "default_script.sh", "pack_xml.log",
                             "package[].bin", "package[UKRF].bin", "system.bin", "NormalFile.bin"})
      WriteText(path(name), "user's own");
    fs::create_directory(path("tmp"));
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(path("tmp"), fs::perms::all);
  }

  // Kernel and root file system images of 40 000 bytes each.
  static std::vector<TestItem> Items(const std::string& rootfsVersion = kVersion) {
    auto items = OriginalItems(kVersion, rootfsVersion);
    items[1].data = WithItemHead(kVersion, kHeadKernel, Bytes(40000, 0x4B));
    items[2].data = WithItemHead(rootfsVersion, kHeadRootfs, Bytes(40000, 0x52));
    return items;
  }

  fs::path path(const std::string& name) const { return dir_.path() / name; }

#ifdef _WIN32
  ProcessResult Repack(std::vector<std::string> args) {
    args.insert(args.begin(), "repack");
    return RunProcess(BinPath("quarnet-cli"), args, dir_.path());
  }
#else
  // quarnet-cli repack in the caller's folder, with its private folder made
  // under "tmp"; `inChild` sets up the fault in the process.
  ProcessResult Repack(std::vector<std::string> args, const std::function<void()>& inChild = [] {},
                       const std::string& program = BinPath("quarnet-cli"),
                       const std::function<void(pid_t)>& whileRunning = {}) {
    args.insert(args.begin(), "repack");
    const std::string tmp = path("tmp").string();
    return RunProcess(program, args, dir_.path(), [&] {
      ::setenv("TMPDIR", tmp.c_str(), 1);
      inChild();
    }, whileRunning);
  }
#endif

  static std::vector<std::string> Job(const std::string& output) {
    return {"--original", "orig.bin", "--output", output, "--config", "cfg.xml"};
  }

  static void ExpectFailed(const ProcessResult& r, const std::string& line) {
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_TRUE(r.err.starts_with("Repack failed!\n")) << r.err;
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  }

  TempDir dir_;
};

#ifndef _WIN32
TEST_F(CliFaults, ReadOnlyOutputFolder) {
  fs::create_directory(path("ro"));
  WriteText(path("ro/new.bin"), kPrecious);
  fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                  fs::perms::others_exec);
  const std::string cli = CopyOfProgram("quarnet-cli", dir_.path());
  const auto before = Snapshot(dir_.path());
  const auto r = Repack(Job("ro/new.bin"), [&] {
    if (!DropRootPrivileges({dir_.path()})) ::_exit(kFaultUnavailable);
  }, cli);
  if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << kCannotRunAsNobody;
  ExpectFailed(r, "");
  EXPECT_EQ(r.out.find(kRenameError), std::string::npos) << r.out;  // nothing was renamed
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

// Waits until a file named `name` stands in a folder below `dir` (where the
// job makes its own) or process `pid` has ended.
void WaitForJobFile(const fs::path& dir, const std::string& name, pid_t pid) {
  while (!HasEnded(pid)) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (it.depth() > 0 && it->path().filename() == name) return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

// Waits until process `pid` has passed `bytes` to write calls, or has ended.
void WaitForWrites(pid_t pid, std::uint64_t bytes) {
  while (!HasEnded(pid)) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value && key != "wchar:") {
    }
    if (key == "wchar:" && value >= bytes) return;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

// A repack of a 400 MiB original stopped by each stop signal, once while it
// reads the items and once while it builds: the job removes its folder and
// its partial files, the old output stays, the exit status names the signal.
TEST_F(CliFaults, StoppedBySignal) {
  const TempDir big;  // outside the snapshots, which hold every byte
  ASSERT_EQ(BuildSparsePackage(big.path(), 96 << 20, 288 << 20).exitCode, 0);
  const std::string original = (big.path() / kSparsePackageName).string();
  struct Moment {
    const char* during;
    std::uint64_t written;  // the signal goes once the job has written this much
  };
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    for (const Moment& m : {Moment{"reading", 0}, Moment{"build", 64 << 20}}) {
      const auto before = Snapshot(dir_.path());
      const auto r = Repack({"--original", original, "--output", "out.bin", "--config", "cfg.xml"}, [] {},
                            BinPath("quarnet-cli"), [&](pid_t pid) {
                              WaitForJobFile(dir_.path(), "default_script.sh", pid);
                              WaitForWrites(pid, m.written);
                              ::kill(pid, signalNumber);
                            });
      EXPECT_EQ(r.exitCode, 128 + signalNumber) << m.during << " " << signalNumber << r.out << r.err;
      // Compared without printing: a finished job's package holds 400 MiB.
      EXPECT_TRUE(Snapshot(dir_.path()) == before) << m.during << " " << signalNumber << ": the folder changed";
    }
  }
}

// The job's copy of the configuration file changes while the original is
// exported (a scanner, a second program): the new package fails its check,
// and the job fails with that reason, leaving the old output and nothing else.
TEST_F(CliFaults, FailedCheckFailsTheJob) {
  const TempDir big;
  ASSERT_EQ(BuildSparsePackage(big.path(), 16 << 20, 48 << 20).exitCode, 0);
  const std::string original = (big.path() / kSparsePackageName).string();
  const auto before = Snapshot(dir_.path());
  const auto r = Repack({"--original", original, "--output", "out.bin", "--config", "cfg.xml"}, [] {},
                        BinPath("quarnet-cli"), [&](pid_t pid) {
                          WaitForJobFile(dir_.path(), "config.xml", pid);
                          for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
                            if (entry.path().filename() == "config.xml") WriteText(entry.path(), "<config!>");
                          }
                        });
  ExpectFailed(r, "'out.bin' is existed, and overwrite it!\r\n");
  EXPECT_EQ(r.out.find("Make new package"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("\nreason: the new package failed its check: item 4 (UNKNOWN): 9 bytes with CRC 0x"),
            std::string::npos) << r.err;
  EXPECT_TRUE(Snapshot(dir_.path()) == before);
}

// The items are read in place: only the package write can fill the disk.
TEST_F(CliFaults, DiskFullWhileBuilding) {
  for (const std::uint64_t limit : {20000, 60000}) {
    const auto before = Snapshot(dir_.path());
    ExpectFailed(Repack(Job("out.bin"), [&] { LimitFileSize(limit); }), "[..\\basic\\PackAll]<554>@\r\nPackAll Error!\r\n");
    EXPECT_EQ(Snapshot(dir_.path()), before) << limit;
  }
}

// The output's file system, where the job works, fills up.
TEST_F(CliFaults, OutputOnAFullFileSystem) {
  fs::create_directory(path("small"));
  const auto before = Snapshot(dir_.path());
  const ChildResult r = RunInChild([&] {
    if (!MountSmallTmpfs(path("small"), 64 * 1024)) return kFaultUnavailable;
    WriteText(path("small/new.bin"), kPrecious);
    const auto cli = Repack(Job("small/new.bin"));
    Print("%s%s", cli.out.c_str(), cli.err.c_str());
    for (const auto& [name, contents] : Snapshot(path("small"))) Print("[small] %s=%s\n", name.c_str(), contents.c_str());
    return cli.exitCode;
  });
  if (r.exitCode == kFaultUnavailable) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("PackAll Error!\r\nError: MakePackagesWithXML error.\r\nRepack failed!\nreason: "),
            std::string::npos) << r.output;
  EXPECT_NE(r.output.find(": No space left on device\n[small] new.bin=precious\n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("[small] ."), std::string::npos) << r.output;  // no job folder
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

// The job works beside its output: it needs no temporary folder.
TEST_F(CliFaults, UnusableTemporaryFolder) {
  auto before = Snapshot(dir_.path());
  const auto r = Repack(Job("out.bin"), [] { ::setenv("TMPDIR", "/nonexistent/quarnet", 1); });
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto after = Snapshot(dir_.path());
  before.erase("out.bin");
  after.erase("out.bin");
  EXPECT_EQ(after, before);
}

#endif

// Cut at the edges of the header, the product list, every record and every
// item's data: the job fails and changes nothing, except for a cut inside
// the trailing EFS data, which the job never reads.
TEST_F(CliFaults, OriginalTruncatedAtEveryBoundary) {
  const Bytes full = LayOutPackage(OriginalItems(), kProducts);
  std::set<std::size_t> cuts = {0, 3, 4, 35, 36, 163, 164};
  const std::size_t items = OriginalItems().size();
  for (std::size_t i = 0; i < items; ++i) {
    const std::size_t record = kItemTableOffset + kItemRecordSize * i;
    const std::size_t offset = full[record + 8] | full[record + 9] << 8;  // all offsets are below 64 KiB
    const std::size_t length = full[record + 12] | full[record + 13] << 8;
    cuts.insert({record + 100, record + kItemRecordSize - 1, offset, offset + length - 1});
  }
  for (const std::size_t cut : cuts) {
    const Bytes truncated(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    WriteBytes(path("orig.bin"), truncated);
    WriteText(path("out.bin"), kPrecious);
    const auto before = Snapshot(dir_.path());
    const auto r = Repack(Job("out.bin"));
    EXPECT_EQ(ReadBytes(path("orig.bin")), truncated) << cut;
    if (cut >= full.size() - kEfsRecordSize) {
      EXPECT_EQ(r.exitCode, 0) << cut << r.out;
      continue;
    }
    ExpectFailed(r, "Error: No file un-packed.\r\n");
    EXPECT_EQ(Snapshot(dir_.path()), before) << cut;
  }
}

TEST_F(CliFaults, OutputIsTheOriginal) {
  const Bytes mismatched = LayOutPackage(OriginalItems("V1", "V2"), kProducts);
  for (const std::string& output : {std::string("orig.bin"), std::string("./orig.bin"), path("orig.bin").string()}) {
    WriteBytes(path("orig.bin"), mismatched);
    const auto before = Snapshot(dir_.path());
    ExpectFailed(Repack(Job(output)), "Version Error. V1=V1 V2=V2\r\n");
    EXPECT_EQ(Snapshot(dir_.path()), before) << output;

    WriteBytes(path("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
    const auto r = Repack(Job(output));
    EXPECT_EQ(r.exitCode, 0) << output << r.out;
    EXPECT_EQ(DecodeAndVerify(ReadBytes(path("orig.bin"))).items.size(), 8u) << output;
  }
}

#ifndef _WIN32
TEST_F(CliFaults, OutputOnAnotherFileSystem) {
  const ShmDir shmDir;
  if (shmDir.path().empty()) GTEST_SKIP() << "no /dev/shm";
  const fs::path& shm = shmDir.path();
  WriteText(shm / "new.bin", kPrecious);
  WriteBytes(path("orig.bin"), LayOutPackage(OriginalItems("V1", "V2"), kProducts));
  ExpectFailed(Repack(Job((shm / "new.bin").string())), "Version Error.");
  EXPECT_EQ(ListDir(shm), std::vector<std::string>{"new.bin"});
  EXPECT_EQ(ReadText(shm / "new.bin"), kPrecious);

  WriteBytes(path("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
  const auto before = Snapshot(dir_.path());
  const auto r = Repack(Job((shm / "new.bin").string()));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ListDir(shm), std::vector<std::string>{"new.bin"});
  EXPECT_EQ(DecodeAndVerify(ReadBytes(shm / "new.bin")).items.size(), 8u);
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

#endif

// unpack never writes over the package it reads: not with an item of the
// package's own name, not with the job log.
TEST_F(CliFaults, UnpackKeepsThePackageItReads) {
  const Bytes package = LayOutPackage(OriginalItems(), kProducts);
  fs::create_directory(path("u"));
  WriteBytes(path("u/KERNEL.bin"), package);
  auto r = RunProcess(BinPath("quarnet-cli"), {"unpack", "KERNEL.bin"}, path("u"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Export item KERNEL error.\r\n");
  EXPECT_EQ(ReadBytes(path("u/KERNEL.bin")), package);

  WriteBytes(path("u/pack_xml.log"), package);
  r = RunProcess(BinPath("quarnet-cli"), {"unpack", "../u/pack_xml.log", "-C", "."}, path("u"));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("is the job log pack_xml.log"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(path("u/pack_xml.log")), package);
}

#ifndef _WIN32
// In the child: the program finds no unnamed files, as on vfat or exFAT,
// and stages every file under a hidden name.
void WithoutUnnamedFiles() {
  ::setenv("LD_PRELOAD", QUARNET_NO_UNNAMED_FILES, 1);
  // AddressSanitizer's runtime then comes second, which it may.
  const char* asan = ::getenv("ASAN_OPTIONS");
  ::setenv("ASAN_OPTIONS", (std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
}
#endif

// Every name below `dir`.
std::set<fs::path> AllNames(const fs::path& dir) {
  return {fs::recursive_directory_iterator(dir), fs::recursive_directory_iterator()};
}

// Each program killed outright at spread moments, with unnamed staged
// files and with hidden names (Windows: hidden names only): the old results stay whole (or the new one
// stands whole), nothing of the killed runs is left once a normal run in
// the same folder has finished, and that run works.
TEST_F(CliFaults, KilledAtAnyMomentLeavesNothing) {
  const TempDir big;
  ASSERT_EQ(BuildSparsePackage(big.path(), 16 << 20, 48 << 20).exitCode, 0);
  fs::rename(big.path() / kSparsePackageName, path("big.bin"));
  ASSERT_EQ(RunProcess(BinPath("quarnet-cli"), {"unpack", "big.bin", "-C", "tmp"}, dir_.path()).exitCode, 0);
  for (const char* name : {"KERNEL.bin", "ROOTFS.bin"}) fs::rename(path("tmp") / name, path(name));
  fs::remove_all(path("tmp"));
  fs::create_directory(path("items"));
  struct Program {
    const char* name;
    std::string program;
    std::vector<std::string> args;
    const char* result;  // old until the run ends, then whole
    void (*inChild)() = [] {};  // POSIX
  };
  const std::vector<Program> programs = {
      {"repack", BinPath("quarnet-cli"), {"repack", "--original", "big.bin", "--output", "out.bin", "--config",
                                          "cfg.xml"}, "out.bin"},
      {"unpack", BinPath("quarnet-cli"), {"unpack", "big.bin", "-C", "items"}, "items/ROOTFS.bin"},
      {"packall", BinPath("packall"), {"-KKERNEL.bin", "-RROOTFS.bin", "-vV1"}, "package[KR].bin"},
#ifndef _WIN32  // Windows stages every file under a hidden name
      {"repack, hidden names", BinPath("quarnet-cli"), {"repack", "--original", "big.bin", "--output", "out.bin",
                                                        "--config", "cfg.xml"}, "out.bin", WithoutUnnamedFiles},
      {"unpack, hidden names", BinPath("quarnet-cli"), {"unpack", "big.bin", "-C", "items"}, "items/ROOTFS.bin",
       WithoutUnnamedFiles},
      {"packall, hidden names", BinPath("packall"), {"-KKERNEL.bin", "-RROOTFS.bin", "-vV1"}, "package[KR].bin",
       WithoutUnnamedFiles},
#endif
  };
  const auto killedAfter = [&](const Program& p, int ms) {
#ifdef _WIN32
    RunProcessKilledAfter(p.program, p.args, dir_.path(), ms);
#else
    RunProcess(p.program, p.args, dir_.path(), p.inChild, [&](pid_t pid) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      ::kill(pid, SIGKILL);
    });
#endif
  };
  const auto run = [&](const Program& p) {
#ifdef _WIN32
    return RunProcess(p.program, p.args, dir_.path());
#else
    return RunProcess(p.program, p.args, dir_.path(), p.inChild);
#endif
  };
  int hiddenLeft = 0;  // kills that left a result staged under a hidden name
  for (const Program& p : programs) {
    const auto clean = run(p);
    ASSERT_EQ(clean.exitCode, 0) << p.name << clean.err;
    const auto expected = fs::file_size(path(p.result));
    const auto names = AllNames(dir_.path());
    const std::string hidden = std::string(1, '.').append(path(p.result).filename().string()).append(1, '.');
#ifdef _WIN32
    const std::vector<int> moments = {60, 100, 140, 180, 220, 260, 320};  // a program starts slowly under wine
#else
    const std::vector<int> moments = {1, 10, 40, 120, 300};
#endif
    for (const int ms : moments) {
      WriteText(path(p.result), kPrecious);
      killedAfter(p, ms);
      const auto size = fs::file_size(path(p.result));
      EXPECT_TRUE(size == expected || ReadText(path(p.result)) == kPrecious) << p.name << " killed at " << ms;
      hiddenLeft += std::ranges::count_if(ListDir(path(p.result).parent_path()),
                                          [&](const std::string& n) { return n.starts_with(hidden); });
    }
    ASSERT_EQ(run(p).exitCode, 0) << p.name;
    EXPECT_EQ(AllNames(dir_.path()), names) << p.name;
    EXPECT_EQ(fs::file_size(path(p.result)), expected) << p.name;
  }
#ifndef _WIN32  // proves the preload; on Windows it is timing's luck
  EXPECT_GT(hiddenLeft, 0) << "no kill came while a result was staged under a hidden name";
#endif
}

#ifndef _WIN32
// Inputs that are not regular files are refused at once, whatever they are;
// a closed standard output ends the job as a stop does.
TEST_F(CliFaults, StopsThatStop) {
  const TempDir other;  // outside the snapshots, which would wait on the FIFO
  const std::string fifo = (other.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Row {
    std::vector<std::string> args;
    const char* reason;
  };
  const Row rows[] = {
      {{"--original", fifo, "--output", "out.bin", "--config", "cfg.xml"}, "not a regular file\n"},
      {{"--original", "orig.bin", "--output", "out.bin", "--config", fifo}, "not a regular file\n"},
      {{"--original", "tmp", "--output", "out.bin", "--config", "cfg.xml"}, "reason: open tmp: not a regular file\n"},
  };
  const auto before = Snapshot(dir_.path());
  for (const Row& row : rows) {
    const auto r = Repack(row.args, [] { ::alarm(20); });
    ExpectFailed(r, "");
    EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(dir_.path()), before);
  }
  // As "quarnet-cli repack ... | head -c1" once head has gone.
  const auto r = Repack(Job("out.bin"), [] {
    int fds[2];
    if (::pipe(fds) != 0 || ::dup2(fds[1], STDOUT_FILENO) < 0) ::_exit(kFaultUnavailable);
    ::close(fds[0]);
  });
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("reason: write standard output: Broken pipe\n"), std::string::npos) << r.err;
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

#endif

}  // namespace
}  // namespace quarnet::test
