#include "apps/quarnet-cli/job_console.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "package/display_text.h"
#include "ui/what_changed.h"

namespace quarnet::cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBySignal = 128;

// Whole percent of `done` out of `total`; 100 only when all is done.
int Percent(std::uint64_t done, std::uint64_t total) {
  if (done >= total) return 100;
  return std::min(99, static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total)));
}

}  // namespace

ProgressDisplay::ProgressDisplay(bool enabled) : active_(enabled) {
  if (!active_) return;
  terminal_ = os::StandardErrorIsTerminal();
  previous_ = SetProgressSink([this](std::uint64_t done, std::uint64_t total) { Show(done, total); });
}

ProgressDisplay::~ProgressDisplay() { Finish(false); }

void ProgressDisplay::Finish(bool completed) {
  if (!active_) return;
  if (completed) EndProgress();
  SetProgressSink(std::move(previous_));
  active_ = false;
  if (lineOpen_) std::fputc('\n', stderr);
}

void ProgressDisplay::Show(std::uint64_t done, std::uint64_t total) {
  const int percent = Percent(done, total);
  const int step = terminal_ ? 1 : 10;
  const int shown = percent - percent % step;
  if (shown <= shown_) return;
  shown_ = shown;
  if (terminal_) {
    std::fprintf(stderr, "\r%3d%%", shown);
    lineOpen_ = shown < 100;
    if (!lineOpen_) std::fputc('\n', stderr);
  } else {
    std::fprintf(stderr, "%d%%\n", shown);
  }
}

int FailedJobStatus() {
  const int signalNumber = CancelSignal();
  return signalNumber != 0 ? kExitBySignal + signalNumber : kExitFailed;
}

void PrintFailureReason() {
  const std::string reason = LastJobReport().reason;
  if (!reason.empty()) std::fprintf(stderr, "reason: %s\n", DisplayText(reason).c_str());
}

void PrintWarnings() {
  for (const JobWarning& warning : LastJobReport().warnings)
    std::fprintf(stderr, "warning: %s\n", DisplayText(warning.text).c_str());
}

void PrintVerifiedSummary() {
  const JobReport report = LastJobReport();
  if (!report.verified.empty()) std::fprintf(stderr, "%s\n", DisplayText(report.verified).c_str());
  if (!report.againstOriginal) return;
  for (const std::string& line : WhatChangedLines(*report.againstOriginal, Language::kEnglish))
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace quarnet::cli
