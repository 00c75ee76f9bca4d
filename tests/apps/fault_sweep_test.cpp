// The fault sweep: a fault-free run of each program counts the calls that
// reach the system, then every one of them fails in turn (or, for writes,
// writes short), and after each run the promises hold: no crash; either exit
// 1 with every old file as it was and a reason that names the injected
// error, or exit 0 with the very result of the fault-free run; nothing left
// beside the results, and no partial file under a final name. A run that
// ends with exit 0, the fault-free one too, made every result durable: a
// file sync before each durable rename, a folder sync right after it, and
// as many durable renames as results. The programs run in-process, from a
// folder of their own.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "apps/quarnet-cli/commands.h"
#include "basic/packall.h"
#include "package/job_control.h"
#include "platform/errors.h"
#include "platform/fault_plan.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

constexpr char kOld[] = "old";

struct Program {
  const char* name;
  std::vector<std::string> args;
  std::function<int(std::vector<std::string>&)> run;
  // Results that a failed run may leave beside the old files: the item
  // files exported before the failure, each whole, and the job log of the
  // failed job.
  bool partialResultsAllowed = false;
};

int RunCommand(int (*command)(int, char**), std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return command(static_cast<int>(argv.size()), argv.data());
}

int RunPackAll(std::vector<std::string>& args) {
  std::vector<const char*> argv{nullptr};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return PackAll(static_cast<int>(argv.size()), argv.data());
}

const std::vector<Program>& Programs() {
  static const std::vector<Program> programs = {
      {"repack",
       {"--original", "orig.bin", "--output", "out.bin", "--config", "cfg.xml"},
       [](auto& a) { return RunCommand(cli::Repack, a); }},
      {"unpack", {"orig.bin", "-C", "items"}, [](auto& a) { return RunCommand(cli::Unpack, a); }, true},
      {"packall", {"-Uu.bin", "-Kk.bin", "-Rr.bin", "-vV1", "-ncfg.xml@/mnt/c.xml", "-L1A0|"}, RunPackAll},
  };
  return programs;
}

struct Fault {
  const char* what;
  os::FaultPlan plan;
};

// The folder the programs start from: their inputs, and an old file under
// every name a run may write.
class FaultSweep : public InTempDir {
 protected:
  FaultSweep() {
    WriteBytes("orig.bin", LayOutPackage(OriginalItems(), kProducts));
    WriteText("cfg.xml", "<config/>");
    WriteBytes("u.bin", PatternBytes(3000));
    WriteBytes("k.bin", WithItemHead("V1", kHeadKernel, PatternBytes(5000)));
    WriteBytes("r.bin", WithItemHead("V1", kHeadRootfs, PatternBytes(7000)));
    fs::create_directory("items");
    for (const char* name : {"out.bin", "package[UKR].bin", "items/KERNEL.bin", "items/ROOTFS.bin",
                             "items/pack_xml.log"})
      WriteText(name, kOld);
  }

  struct Run {
    int exitCode = -1;
    std::uint64_t calls = 0;
    std::vector<os::PromisedCall> promised;
    JobReport report;
    Files files;
  };

  // Back to the start: the old files, nothing else.
  void Restore(const Files& before) {
    for (const auto& [name, contents] : Snapshot(dir())) {
      if (!before.contains(name)) fs::remove_all(name);
    }
    for (const auto& [name, contents] : before) {
      if (contents != "<dir>") WriteText(name, contents);
    }
  }

  Run Once(const Program& program, const os::FaultPlan& plan, const Files& before) {
    Restore(before);
    std::vector<std::string> args = program.args;
    ResetCancel();
    ResetJobReport();
    Run run;
    {
      const CapturedOutput quiet;
      os::FaultPlan recorded = plan;
      recorded.record = true;
      os::SetFaultPlan(recorded);
      run.exitCode = program.run(args);
      run.calls = os::CallCount();
      run.promised = os::PromisedCalls();
      os::SetFaultPlan({});
    }
    run.report = LastJobReport();
    run.files = Snapshot(dir());
    return run;
  }

  // A successful run must give the fault-free result, except for a file
  // beside it that a warning names (the job log) and that kept its old
  // contents.
  static std::string Differs(const Files& before, const Files& clean, const Run& run) {
    const auto warned = [&](const std::string& name) {
      for (const JobWarning& w : run.report.warnings) {
        if (w.text.find(fs::path(name).filename().string()) != std::string::npos) return true;
      }
      return false;
    };
    for (const auto& [name, contents] : clean) {
      const auto found = run.files.find(name);
      if (found != run.files.end() && found->second == contents) continue;
      const auto old = before.find(name);
      const bool kept = old != before.end() && found != run.files.end() && found->second == old->second;
      if (!kept || !warned(name)) return "exit 0 with another " + name;
    }
    for (const auto& [name, contents] : run.files) {
      if (!clean.contains(name)) return "exit 0 leaving " + name;
    }
    return "";
  }

  // What a successful run failed to make durable, or "": each file it
  // changed took its name by a durable rename. The call the plan failed
  // promised nothing.
  static std::string NotDurable(const Files& before, const Run& run, std::uint64_t failed = 0) {
    using enum os::Promise;
    std::size_t renames = 0;
    bool synced = false;
    for (std::size_t i = 0; i < run.promised.size(); ++i) {
      const os::Promise p = run.promised[i].promise;
      if (p == kFileSync) synced = true;
      if ((p != kDurableRename && p != kScratchRename) || run.promised[i].call == failed) continue;
      if (p == kDurableRename && !synced) return "a durable rename without a file sync before it";
      const bool folderSynced = i + 1 < run.promised.size() && run.promised[i + 1].promise == kFolderSync;
      if (p == kDurableRename && !folderSynced) return "a durable rename without a folder sync after it";
      renames += p == kDurableRename;
      synced = false;
    }
    std::size_t results = 0;
    for (const auto& [name, contents] : run.files) results += !before.contains(name) || before.at(name) != contents;
    return renames < results ? std::to_string(renames) + " durable renames for " + std::to_string(results) + " results"
                             : "";
  }

  // The broken promise of one faulty run, or "" when all hold.
  static std::string Broken(const Program& program, const Files& before, const Files& clean, const Run& run,
                            os::Error error, std::uint64_t failAt) {
    if (run.exitCode == 0) {
      const std::string differs = Differs(before, clean, run);
      return differs.empty() ? NotDurable(before, run, failAt) : differs;
    }
    if (run.exitCode != 1) return "exit " + std::to_string(run.exitCode);
    if (run.report.reason.find(os::Describe(error)) == std::string::npos)
      return "reason \"" + run.report.reason + "\" does not name the error";
    for (const auto& [name, contents] : run.files) {
      const auto old = before.find(name);
      const auto done = clean.find(name);
      const bool kept = old != before.end() && old->second == contents;
      const bool whole = program.partialResultsAllowed &&
                         ((done != clean.end() && done->second == contents) || name == "items/pack_xml.log");
      if (!kept && !whole) return name + " is neither the old file nor a whole result";
    }
    for (const auto& [name, contents] : before) {
      if (!run.files.contains(name)) return name + " is gone";
    }
    return "";
  }
};

TEST_F(FaultSweep, EveryCallOfEveryProgramFailsInTurn) {
  const Fault faults[] = {
      {"EIO", {0, EIO}},
      {"ENOSPC", {0, ENOSPC}},
      {"EXDEV", {0, EXDEV}},
      {"EOPNOTSUPP", {0, EOPNOTSUPP}},
      {"short write", {0, 0, true}},
  };
  const Files before = Snapshot(dir());
  for (const Program& program : Programs()) {
    const Run clean = Once(program, {}, before);
    ASSERT_EQ(clean.exitCode, 0) << program.name << ": " << clean.report.reason;
    EXPECT_EQ(NotDurable(before, clean), "") << program.name;
    ASSERT_GT(clean.calls, 10u) << program.name;
    std::map<std::string, int> broken;
    for (const Fault& fault : faults) {
      for (std::uint64_t call = 1; call <= clean.calls; ++call) {
        os::FaultPlan plan = fault.plan;
        plan.failAt = call;
        const Run run = Once(program, plan, before);
        const std::string why = Broken(program, before, clean.files, run, plan.error, plan.shortWrite ? 0 : call);
        if (!why.empty()) ++broken[why];
        EXPECT_EQ(why, "") << program.name << ", " << fault.what << " at call " << call << " of " << clean.calls;
      }
    }
    RecordProperty(std::string(program.name) + "_calls", static_cast<int>(clean.calls));
    EXPECT_TRUE(broken.empty()) << program.name;
  }
}

}  // namespace
}  // namespace quarnet::test
