#pragma once
// What quarnet-cli shows of a job beside the engine's lines on standard
// output: the percentage done and the report after the outcome, both on
// standard error, and the signals that stop the job.
#include <cstdint>
#include <string>

#include "package/job_control.h"
#include "platform/process.h"

namespace quarnet::cli {

// While enabled, shows the job's progress on standard error: on a terminal
// one line that is rewritten, otherwise a line at each whole 10 %. The
// percentage shown only rises (a later stage may add to the total).
class ProgressDisplay {
 public:
  explicit ProgressDisplay(bool enabled);
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // Ends the display before the outcome is printed: a completed job shows
  // 100 %, a failed one stops where it was. Later calls do nothing.
  void Finish(bool completed);

 private:
  void Show(std::uint64_t done, std::uint64_t total);

  bool active_;
  bool terminal_ = false;
  int shown_ = 0;          // the last percentage printed
  bool lineOpen_ = false;  // a terminal line without its line end
  ProgressSink previous_;
};

// While the object lives, SIGINT, SIGTERM and SIGHUP do not end the process
// but stop the running job at once, so that it removes its files; a closed
// standard output fails the job instead of ending the process.
using StopSignals = os::StopSignals;

// The exit status of a failed job: 128 + the signal that stopped it, as a
// shell reports a process ended by that signal, or 1.
int FailedJobStatus();

// After the outcome line, on standard error: "reason: ..." of a failed job,
// the "Verified: ..." sentence of a successful repack (when the job has one)
// and, after a repack with an original, what the new package holds against
// it.
void PrintFailureReason();
void PrintVerifiedSummary();
// "warning: ..." on standard error for each warning of the job.
void PrintWarnings();

}  // namespace quarnet::cli
