#include "package/job_control.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/os.h"

namespace quarnet {
namespace {

struct ProgressState {
  std::mutex mutex;
  ProgressSink sink;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  JobStage stage = JobStage::kNone;
};

ProgressState& Progress() {
  static ProgressState state;
  return state;
}

std::atomic<int> cancelSignal{0};
std::atomic<bool> cancelled{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

struct ReportState {
  std::mutex mutex;
  JobReport report;
};

ReportState& Report() {
  static ReportState state;
  return state;
}

// Calls the sink outside the lock, so that a sink may take its time.
void Notify(std::unique_lock<std::mutex>& lock) {
  ProgressState& p = Progress();
  if (!p.sink || p.total == 0) return;
  const ProgressSink sink = p.sink;
  const std::uint64_t done = p.done;
  const std::uint64_t total = p.total;
  lock.unlock();
  sink(done, total);
}

}  // namespace

ProgressSink SetProgressSink(ProgressSink sink) {
  std::lock_guard lock(Progress().mutex);
  ProgressSink previous = std::move(Progress().sink);
  Progress().sink = std::move(sink);
  return previous;
}

void BeginProgress(std::uint64_t total) {
  std::unique_lock lock(Progress().mutex);
  Progress().done = 0;
  Progress().total = total;
  Notify(lock);
}

void SetProgressRemaining(std::uint64_t bytes) {
  std::unique_lock lock(Progress().mutex);
  ProgressState& p = Progress();
  if (p.total == 0) return;
  p.total = p.done + std::max<std::uint64_t>(bytes, 1);
  Notify(lock);
}

void SetJobStage(JobStage stage) {
  std::unique_lock lock(Progress().mutex);
  Progress().stage = stage;
  Notify(lock);
}

JobStage CurrentJobStage() {
  std::lock_guard lock(Progress().mutex);
  return Progress().stage;
}

void AdvanceProgress(std::uint64_t bytes) {
  std::unique_lock lock(Progress().mutex);
  ProgressState& p = Progress();
  if (p.total == 0) return;
  p.done = bytes < p.total - p.done ? p.done + bytes : p.total;
  Notify(lock);
}

void EndProgress() {
  std::unique_lock lock(Progress().mutex);
  ProgressState& p = Progress();
  if (p.total == 0) return;
  p.done = p.total;
  Notify(lock);
  if (!lock.owns_lock()) lock.lock();  // Notify unlocks only when it calls a sink
  p.total = 0;
  p.done = 0;
  p.stage = JobStage::kNone;
}

void RequestCancel() noexcept { cancelled.store(true); }
bool CancelRequested() noexcept { return cancelled.load() || os::StopSignal() != 0; }

int CancelSignal() noexcept {
  const int requested = cancelSignal.load();
  return requested != 0 ? requested : os::StopSignal();
}

void RequestCancelBySignal(int signalNumber) noexcept {
  cancelSignal.store(signalNumber);
  cancelled.store(true);
}

void ResetCancel() noexcept {
  cancelled.store(false);
  cancelSignal.store(0);
  os::ClearStopSignal();
}

void ResetJobReport() {
  std::lock_guard lock(Report().mutex);
  Report().report = JobReport{};
}

void SetFailureReason(std::string reason, FailureKind kind) {
  std::lock_guard lock(Report().mutex);
  if (!Report().report.reason.empty()) return;
  Report().report.reason = std::move(reason);
  Report().report.kind = kind;
}

namespace {

FailureKind KindOf(std::string_view call, int error) {
  if (os::IsDiskFull(error)) return FailureKind::kDiskFull;
  if (error == os::kNotRegularFile) return FailureKind::kInputNotAFile;
  if (call == "open" && error == ENOENT) return FailureKind::kInputMissing;
  return FailureKind::kOther;
}

}  // namespace

void RecordSystemError(const char* call, const std::string& path, int error) {
  if (CancelRequested()) {
    SetFailureReason("cancelled", FailureKind::kCancelled);
    return;
  }
  SetFailureReason(std::string(call) + " " + path + ": " + os::Describe(error), KindOf(call, error));
}

void AddWarning(std::string warning) {
  std::lock_guard lock(Report().mutex);
  Report().report.warnings.push_back(std::move(warning));
}

void SetVerifiedSummary(std::string summary, VerifiedCounts counts) {
  std::lock_guard lock(Report().mutex);
  Report().report.verified = std::move(summary);
  Report().report.counts = counts;
}

void SetOutputPath(std::string path) {
  std::lock_guard lock(Report().mutex);
  Report().report.output = std::move(path);
}

JobReport LastJobReport() {
  std::lock_guard lock(Report().mutex);
  return Report().report;
}

}  // namespace quarnet
