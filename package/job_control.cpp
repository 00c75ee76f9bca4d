// The job operations of the engine, each on the calling thread's job.
#include "package/job_control.h"

#include "package/job.h"

namespace quarnet {

ProgressSink SetProgressSink(ProgressSink sink) { return CurrentJob().SetProgressSink(std::move(sink)); }
void BeginProgress(std::uint64_t total) { CurrentJob().BeginProgress(total); }
void SetProgressRemaining(std::uint64_t bytes) { CurrentJob().SetProgressRemaining(bytes); }
void AdvanceProgress(std::uint64_t bytes) { CurrentJob().AdvanceProgress(bytes); }
void EndProgress() { CurrentJob().EndProgress(); }
void SetJobStage(JobStage stage) { CurrentJob().SetStage(stage); }
JobStage CurrentJobStage() { return CurrentJob().Stage(); }

void RequestCancel() noexcept { CurrentJob().RequestCancel(); }
bool CancelRequested() noexcept { return CurrentJob().CancelRequested(); }
int CancelSignal() noexcept { return CurrentJob().CancelSignal(); }
void RequestCancelBySignal(int signalNumber) noexcept { CurrentJob().RequestCancelBySignal(signalNumber); }
void ResetCancel() noexcept { CurrentJob().ResetCancel(); }

void ResetJobReport() { CurrentJob().ResetReport(); }
void SetFailureReason(std::string reason, FailureKind kind) {
  CurrentJob().SetFailureReason(std::move(reason), kind);
}

void SetFailureFinding(Finding what, std::vector<std::string> args, FailureKind kind) {
  CurrentJob().SetFailureFinding(what, std::move(args), kind);
}
void RecordSystemError(const char* call, const std::string& path, int error) {
  CurrentJob().RecordSystemError(call, path, error);
}
void SetSystemFailure(std::string reason, FailureKind kind, std::string path, int error) {
  CurrentJob().SetSystemFailure(std::move(reason), kind, std::move(path), error);
}
void AddWarning(std::string warning, WarningKind kind) { CurrentJob().AddWarning(std::move(warning), kind); }
void SetVerifiedSummary(std::string summary, VerifiedCounts counts) {
  CurrentJob().SetVerifiedSummary(std::move(summary), counts);
}
void SetAgainstOriginal(PackageDiff diff) { CurrentJob().SetAgainstOriginal(std::move(diff)); }
void SetOutputPath(std::string path) { CurrentJob().SetOutputPath(std::move(path)); }
JobReport LastJobReport() { return CurrentJob().Report(); }

}  // namespace quarnet
