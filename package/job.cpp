#include "package/job.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "package/files.h"
#include "platform/errors.h"
#include "platform/process.h"

namespace quarnet {
namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

// A missing name is a missing input when the job opens it, and the output's
// folder gone when the job moves its result there.
FailureKind KindOf(std::string_view call, int error) {
  if (os::IsDiskFull(error)) return FailureKind::kDiskFull;
  switch (error) {
    case os::kNotRegularFile: return FailureKind::kInputNotAFile;
    case ENOENT:
      if (call == "open") return FailureKind::kInputMissing;
      return call == "rename" || call == "commit" ? FailureKind::kOutputFolderMissing : FailureKind::kOther;
    case os::kInUse: return FailureKind::kInUse;
    case os::kDeniedOrInUse:
    case EACCES:
    case EPERM: return FailureKind::kAccessDenied;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ: return FailureKind::kPathRefused;
    default: return FailureKind::kOther;
  }
}

Job*& Current() {
  thread_local Job* current = nullptr;
  return current;
}

}  // namespace

Job::Job() = default;
Job::~Job() = default;

OutputSink Job::SetOutputSink(OutputSink sink) { return std::exchange(output_, std::move(sink)); }

// Standard output that cannot be written (a closed pipe, a full disk) ends
// the job as a stop would: nobody sees its lines any more.
void Job::Print(const std::string& text) {
  if (output_) {
    output_(text);
    return;
  }
  const os::Error error = os::WriteStandardOutput(text);
  if (error == 0) return;
  RecordSystemError("write", "standard output", error);
  RequestCancel();
}

ProgressSink Job::SetProgressSink(ProgressSink sink) {
  const std::lock_guard lock(progressMutex_);
  return std::exchange(progress_, std::move(sink));
}

void Job::Notify(std::unique_lock<std::mutex>& lock) {
  if (!progress_ || total_ == 0) return;
  const ProgressSink sink = progress_;
  const std::uint64_t done = done_;
  const std::uint64_t total = total_;
  lock.unlock();
  sink(done, total);
}

void Job::BeginProgress(std::uint64_t total) {
  std::unique_lock lock(progressMutex_);
  done_ = 0;
  total_ = total;
  Notify(lock);
}

void Job::SetProgressRemaining(std::uint64_t bytes) {
  std::unique_lock lock(progressMutex_);
  if (total_ == 0) return;
  total_ = done_ + std::max<std::uint64_t>(bytes, 1);
  Notify(lock);
}

void Job::AdvanceProgress(std::uint64_t bytes) {
  std::unique_lock lock(progressMutex_);
  if (total_ == 0) return;
  done_ = bytes < total_ - done_ ? done_ + bytes : total_;
  Notify(lock);
}

void Job::EndProgress() {
  std::unique_lock lock(progressMutex_);
  if (total_ == 0) return;
  done_ = total_;
  Notify(lock);
  if (!lock.owns_lock()) lock.lock();  // Notify unlocks only when it calls a sink
  total_ = 0;
  done_ = 0;
  stage_ = JobStage::kNone;
}

void Job::SetStage(JobStage stage) {
  std::unique_lock lock(progressMutex_);
  stage_ = stage;
  Notify(lock);
}

JobStage Job::Stage() {
  const std::lock_guard lock(progressMutex_);
  return stage_;
}

void Job::RequestCancel() noexcept { cancelled_.store(true); }

void Job::RequestCancelBySignal(int signalNumber) noexcept {
  cancelSignal_.store(signalNumber);
  cancelled_.store(true);
}

bool Job::CancelRequested() const noexcept { return cancelled_.load() || os::StopSignal() != 0; }

int Job::CancelSignal() const noexcept {
  const int requested = cancelSignal_.load();
  return requested != 0 ? requested : os::StopSignal();
}

void Job::ResetCancel() noexcept {
  cancelled_.store(false);
  cancelSignal_.store(0);
  os::ClearStopSignal();
}

// A new job starts with an empty report and no progress: a job that failed
// before its end left its count and stage behind.
void Job::ResetReport() {
  {
    const std::lock_guard lock(progressMutex_);
    done_ = 0;
    total_ = 0;
    stage_ = JobStage::kNone;
  }
  const std::lock_guard lock(reportMutex_);
  report_ = JobReport{};
}

void Job::SetFailureReason(std::string reason, FailureKind kind) { SetSystemFailure(std::move(reason), kind, {}, 0); }

void Job::SetFailureFinding(Finding what, std::vector<std::string> args, FailureKind kind) {
  const std::lock_guard lock(reportMutex_);
  if (!report_.reason.empty()) return;
  report_.reason = FillPlaceholders(FindingSentence(what), args);
  report_.kind = kind;
  report_.finding = {what, std::move(args)};
}

void Job::RecordSystemError(const char* call, const std::string& path, int error) {
  if (CancelRequested()) {
    SetFailureReason("cancelled", FailureKind::kCancelled);
    return;
  }
  SetSystemFailure(std::string(call) + " " + path + ": " + os::Describe(error), KindOf(call, error), path, error);
}

void Job::SetSystemFailure(std::string reason, FailureKind kind, std::string path, int error) {
  const std::lock_guard lock(reportMutex_);
  if (!report_.reason.empty()) return;
  report_.reason = std::move(reason);
  report_.kind = kind;
  report_.path = std::move(path);
  report_.error = error;
}

void Job::AddWarning(std::string warning, WarningKind kind) {
  const std::lock_guard lock(reportMutex_);
  report_.warnings.push_back({kind, std::move(warning)});
}

void Job::SetVerifiedSummary(std::string summary, VerifiedCounts counts) {
  const std::lock_guard lock(reportMutex_);
  report_.verified = std::move(summary);
  report_.counts = counts;
}

void Job::SetAgainstOriginal(PackageDiff diff) {
  const std::lock_guard lock(reportMutex_);
  report_.againstOriginal = std::move(diff);
}

void Job::SetOutputPath(std::string path) {
  const std::lock_guard lock(reportMutex_);
  report_.output = std::move(path);
}

JobReport Job::Report() const {
  const std::lock_guard lock(reportMutex_);
  return report_;
}

Job& CurrentJob() {
  if (Job* job = Current()) return *job;
  thread_local Job own;
  return own;
}

ScopedJob::ScopedJob(Job& job) : previous_(std::exchange(Current(), &job)) {}
ScopedJob::~ScopedJob() { Current() = previous_; }

}  // namespace quarnet
