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
#include <optional>
#include <string>
#include <vector>

#include "package/job_findings.h"
#include "package/package_diff.h"

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
  kOutputFolder,     // the output's folder cannot be written
  kDiskFull,
  kCheckFailed,      // the new package did not match what the job wrote
  kOther,
  kOutputFolderMissing,  // the output's folder is not there (any more)
  kInUse,                // another program holds the file
  kAccessDenied,         // the rights do not allow it
  kBadName,              // an item's name cannot be a file name on this system
  kPathRefused,          // the system refuses the path: too long, or not a path at all
};

// What kind of thing a warning says, for a front end that says it in its
// own language; the warning's text is the job's own, as on standard error.
enum class WarningKind {
  kOther,
  kOriginalCrc,    // a compact original's item disagrees with its record
  kNotSynced,      // a folder could not be flushed after a name took its place
  kJobFolderLeft,  // the job's folder could not be removed
  kItemReplaced,   // two items of one name: the last one was kept
  kNoProductList,  // the new package has no product list
};

struct JobWarning {
  WarningKind kind = WarningKind::kOther;
  std::string text;
};

// What the check of a new package compared, for a front end that says it in
// its own language.
struct VerifiedCounts {
  std::size_t items = 0;
  std::size_t headerBytes = 0;
  std::size_t imageItems = 0;  // items of the original, identical
  std::size_t addedFiles = 0;
};

// A failure the job found itself, with the names and figures it concerns.
struct JobFinding {
  Finding what = Finding::kNone;
  std::vector<std::string> args;
};

// What a front end shows beside the outcome of a job.
struct JobReport {
  FailureKind kind = FailureKind::kNone;
  std::string reason;    // the first failure's cause, e.g. "rename a/new.bin: No such file or directory"
  // When a system call caused it: the file or folder it concerned and the
  // system's error, for a front end that says it in the user's language.
  std::string path;
  int error = 0;
  JobFinding finding;    // when the job found the cause itself
  std::string verified;  // "Verified: ..." after a repack that checked its result
  VerifiedCounts counts;  // what that sentence says
  // After a repack with an original: the checked new package (B) against
  // the original (A).
  std::optional<PackageDiff> againstOriginal;
  std::string output;    // the new package's path after success
  // Things that went wrong after the outcome was settled, e.g. a folder
  // that could not be synced after the new package took its name.
  std::vector<JobWarning> warnings;
};

// Clears the report, and the progress count and stage, at the start of a job.
void ResetJobReport();
// Records `reason` and its kind unless an earlier failure of this job
// already did: the first failure is the cause, the rest follow from it.
void SetFailureReason(std::string reason, FailureKind kind = FailureKind::kOther);
// SetFailureReason with the English sentence of `what`, filled with `args`,
// keeping the finding for a front end in another language.
void SetFailureFinding(Finding what, std::vector<std::string> args, FailureKind kind = FailureKind::kOther);
// SetFailureReason(call + " " + path + ": " + the system's text for
// `error`), or "cancelled" when a stop was requested: an interrupted call is
// the stop's doing. The kind follows from the call and the error.
void RecordSystemError(const char* call, const std::string& path, int error);
// The failure of a system call on `path` that the caller names itself.
void SetSystemFailure(std::string reason, FailureKind kind, std::string path, int error);
void AddWarning(std::string warning, WarningKind kind = WarningKind::kOther);
void SetVerifiedSummary(std::string summary, VerifiedCounts counts);
void SetAgainstOriginal(PackageDiff diff);
void SetOutputPath(std::string path);
// A copy of the report of the latest job.
JobReport LastJobReport();

}  // namespace quarnet
