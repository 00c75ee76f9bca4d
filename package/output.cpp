#include "package/output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "package/job_control.h"
#include "platform/os.h"

namespace quarnet {
namespace {

OutputSink& Sink() {
  static OutputSink sink;
  return sink;
}

// Standard output that cannot be written (a closed pipe, a full disk) ends
// the job as a stop would: nobody sees its lines any more.
void WriteStandardOutput(const std::string& text) {
  const os::Error error = os::WriteStandardOutput(text);
  if (error == 0) return;
  RecordSystemError("write", "standard output", error);
  RequestCancel();
}

}  // namespace

OutputSink SetOutputSink(OutputSink sink) {
  OutputSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

std::string FormatText(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

void Print(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  if (Sink()) {
    Sink()(text);
  } else {
    WriteStandardOutput(text);
  }
}

}  // namespace quarnet
