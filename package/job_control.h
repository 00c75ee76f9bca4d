#pragma once
// What runs beside a job's output lines: how far it has come, whether it was
// asked to stop, and why it failed. The engine reports progress and checks
// for a stop once per block; front ends install a progress sink, request a
// stop (from a Cancel button or a signal) and read the report after the
// job. The standard-output lines never carry any of this. Each operation
// here acts on the calling thread's job (package/job.h); a front end that
// runs the job on another thread uses the Job itself.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarnet {

// Receives the bytes done so far out of the bytes of the whole job.
using ProgressSink = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Installs `sink` (empty: none) and returns the previous one. The sink is
// called on the thread that runs the job.
ProgressSink SetProgressSink(ProgressSink sink);

// Starts the count for a job of `total` bytes (done = 0). A total of 0 turns
// reporting off until the next BeginProgress.
void BeginProgress(std::uint64_t total);
// Sets the bytes still to come anew, as a stage learns what the rest of the
// job will move: the total becomes those done plus `bytes`.
void SetProgressRemaining(std::uint64_t bytes);
// `bytes` more are done; reported to the sink, never past the total.
void AdvanceProgress(std::uint64_t bytes);
// The job is complete: reports done = total once more, then stops counting.
void EndProgress();

// The stage a job is in, for a front end that names it beside the progress.
enum class JobStage { kNone, kUnpacking, kBuilding, kChecking };
// Enters `stage` and reports the progress again, so that the sink sees it.
void SetJobStage(JobStage stage);
JobStage CurrentJobStage();

// Asks the job to stop at its next block.
void RequestCancel() noexcept;
// True once RequestCancel was called, or a stop signal arrived
// (os::StopSignals), since the last ResetCancel.
bool CancelRequested() noexcept;
// The signal that asked for the stop (RequestCancelBySignal or a stop
// signal), or 0.
int CancelSignal() noexcept;
// RequestCancel, remembering `signalNumber`.
void RequestCancelBySignal(int signalNumber) noexcept;
void ResetCancel() noexcept;

// What kind of cause a failure had, for a front end that says it in its own
// language; the reason beside it is the system's own text.
enum class FailureKind {
  kNone,
  kCancelled,
  kNotAPackage,      // the original is no package, or is cut short
  kDamagedOriginal,  // an item's bytes disagree with its record
  kInputMissing,     // a chosen file is not there
  kInputNotAFile,    // a chosen path names a folder, FIFO or device
  kOutputFolder,     // the output's folder is missing or cannot be written
  kDiskFull,
  kCheckFailed,      // the new package did not match what the job wrote
  kOther,
};

// What the check of a new package compared, for a front end that says it in
// its own language.
struct VerifiedCounts {
  std::size_t items = 0;
  std::size_t headerBytes = 0;
  std::size_t imageItems = 0;  // items of the original, identical
  std::size_t addedFiles = 0;
};

// What a front end shows beside the outcome of a job.
struct JobReport {
  FailureKind kind = FailureKind::kNone;
  std::string reason;    // the first failure's cause, e.g. "rename a/new.bin: No such file or directory"
  std::string verified;  // "Verified: ..." after a repack that checked its result
  VerifiedCounts counts;  // what that sentence says
  std::string output;    // the new package's path after success
  // Things that went wrong after the outcome was settled, e.g. a folder
  // that could not be synced after the new package took its name.
  std::vector<std::string> warnings;
};

// Clears the report at the start of a job.
void ResetJobReport();
// Records `reason` and its kind unless an earlier failure of this job
// already did: the first failure is the cause, the rest follow from it.
void SetFailureReason(std::string reason, FailureKind kind = FailureKind::kOther);
// SetFailureReason(call + " " + path + ": " + the system's text for
// `error`), or "cancelled" when a stop was requested: an interrupted call is
// the stop's doing. The kind follows from the call and the error.
void RecordSystemError(const char* call, const std::string& path, int error);
void AddWarning(std::string warning);
void SetVerifiedSummary(std::string summary, VerifiedCounts counts);
void SetOutputPath(std::string path);
// A copy of the report of the latest job.
JobReport LastJobReport();

}  // namespace quarnet
