#include "package/output.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "package/job.h"

namespace quarnet {

OutputSink SetOutputSink(OutputSink sink) { return CurrentJob().SetOutputSink(std::move(sink)); }

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
  CurrentJob().Print(text);
}

}  // namespace quarnet
