#pragma once
// The one channel for progress and error lines, of the calling thread's job
// (package/job.h). Lines go to standard output unless a front end installs
// its own sink (to show them in a window, or to collect them in a test).
#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

namespace quarnet {

using OutputSink = std::function<void(std::string_view)>;

// Installs `sink` for the current job; an empty sink restores standard
// output. Returns the previous sink (empty for standard output).
OutputSink SetOutputSink(OutputSink sink);

// printf-style formatting of one piece of output, passed to the sink as is.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text that vprintf would print for `format` and `args`.
std::string FormatText(const char* format, std::va_list args) __attribute__((format(printf, 1, 0)));

// Installs a sink for the lifetime of the object and restores the previous
// one afterwards.
class ScopedOutputSink {
 public:
  explicit ScopedOutputSink(OutputSink sink) : previous_(SetOutputSink(std::move(sink))) {}
  ~ScopedOutputSink() { SetOutputSink(std::move(previous_)); }
  ScopedOutputSink(const ScopedOutputSink&) = delete;
  ScopedOutputSink& operator=(const ScopedOutputSink&) = delete;

 private:
  OutputSink previous_;
};

}  // namespace quarnet
