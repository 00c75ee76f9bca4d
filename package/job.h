#pragma once
// One job's state, carried by the job: its output lines, its progress and
// stage, its stop request, its report, its job log and whether its working
// files are scratch. Nothing of a job lives in the process.
//
// The engine finds the job it works for as the current job of its thread.
// ScopedJob makes a job current on the calling thread while it lives; a
// thread that names none works for a job of its own, made on first use, so
// that a program running one job on its main thread needs no setup. A front
// end that runs a job on another thread holds the Job, makes it current
// there, and asks it to stop or reads its report from its own thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "package/job_control.h"
#include "package/output.h"

namespace quarnet {

class ItemRanges;
class OutputFile;

// The job log's open file and the block being written.
struct JobLogState {
  std::unique_ptr<OutputFile> file;
  std::string block;
};

class Job {
 public:
  Job();
  ~Job();
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // Lines: to the sink, or to standard output without one.
  OutputSink SetOutputSink(OutputSink sink);
  void Print(const std::string& text);

  ProgressSink SetProgressSink(ProgressSink sink);
  void BeginProgress(std::uint64_t total);
  void SetProgressRemaining(std::uint64_t bytes);
  void AdvanceProgress(std::uint64_t bytes);
  void EndProgress();
  void SetStage(JobStage stage);
  JobStage Stage();

  // Async-signal-safe, from any thread.
  void RequestCancel() noexcept;
  void RequestCancelBySignal(int signalNumber) noexcept;
  // A stop signal of the process stops every job.
  bool CancelRequested() const noexcept;
  int CancelSignal() const noexcept;
  void ResetCancel() noexcept;

  void ResetReport();
  void SetFailureReason(std::string reason, FailureKind kind);
  void SetFailureFinding(Finding what, std::vector<std::string> args, FailureKind kind);
  void RecordSystemError(const char* call, const std::string& path, int error);
  void SetSystemFailure(std::string reason, FailureKind kind, std::string path, int error);
  void AddWarning(std::string warning, WarningKind kind);
  void SetVerifiedSummary(std::string summary, VerifiedCounts counts);
  void SetAgainstOriginal(PackageDiff diff);
  void SetOutputPath(std::string path);
  JobReport Report() const;

  // Used by the job's thread only.
  JobLogState& Log() { return log_; }
  // Files in the working folder are the job's own, removed with it: they
  // are not synced (the job syncs what leaves the folder).
  bool ScratchWork() const { return scratchWork_; }
  void SetScratchWork(bool scratch) { scratchWork_ = scratch; }
  // Byte ranges that stand in for item files (package/item_input.h).
  const ItemRanges* ItemSources() const { return itemSources_; }
  void SetItemSources(const ItemRanges* sources) { itemSources_ = sources; }

 private:
  // Calls the sink outside the lock, so that a sink may take its time.
  void Notify(std::unique_lock<std::mutex>& lock);

  OutputSink output_;
  std::mutex progressMutex_;
  ProgressSink progress_;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  JobStage stage_ = JobStage::kNone;
  std::atomic<int> cancelSignal_{0};
  std::atomic<bool> cancelled_{false};
  mutable std::mutex reportMutex_;
  JobReport report_;
  JobLogState log_;
  bool scratchWork_ = false;
  const ItemRanges* itemSources_ = nullptr;
};

// The job of the calling thread.
Job& CurrentJob();

// Makes `job` the calling thread's current job while the object lives.
class ScopedJob {
 public:
  explicit ScopedJob(Job& job);
  ~ScopedJob();
  ScopedJob(const ScopedJob&) = delete;
  ScopedJob& operator=(const ScopedJob&) = delete;

 private:
  Job* previous_;
};

}  // namespace quarnet
