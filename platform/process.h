#pragma once
// The process: its arguments, its standard streams and its stop signals.
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace quarnet::os {

// The program's arguments in UTF-8, its name first: `argv` as given on
// POSIX; on Windows the wide command line, converted, since `argv` there
// holds only what the ANSI code page can express.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Readies the C library's standard output and error for the program's
// text: binary, so that every byte printed reaches the file as it is, and
// a console shows UTF-8. Call once at the start of main.
void PrepareStandardStreams();

// Standard output, written in binary: "\r\n" stays two bytes.
Error WriteStandardOutput(std::string_view text);
bool StandardErrorIsTerminal();

// While the object lives, SIGINT, SIGTERM and SIGHUP (or their console
// counterparts) do not end the process but are noted, and interrupt calls
// that block, so that the job stops at once and removes its files. A
// Windows console's Ctrl-C is noted as SIGINT (2), Ctrl-Break as SIGBREAK
// (21), its closing as SIGHUP (1), logoff and shutdown as SIGTERM (15);
// for the last three the process ends when the handler returns, so it
// waits (a few seconds at most) for the job to clean up. A
// broken pipe is ignored: the write fails instead. The objects nest: the
// outermost installs the handlers and the notifier, inner ones share them,
// and the previous handling comes back when the outermost ends.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Installs the handlers again, over any installed since (a test
  // harness's crash handler, say).
  static void CatchAgain();
};

// How a user stops a job on this system, for a program's help: the stops
// ("SIGINT, SIGTERM and SIGHUP") and the exit statuses they give.
struct StopsText {
  const char* names;
  const char* statuses;
};
StopsText DescribeStops();

// The first stop signal noted, 0 when none.
int StopSignal() noexcept;
// Ends the process as `signalNumber` would have ended it without a handler.
[[noreturn]] void EndBySignal(int signalNumber);
void ClearStopSignal() noexcept;
// A descriptor that becomes readable when a stop signal is noted, for an
// event loop to watch; -1 when none can be made (always on Windows). Valid
// while StopSignals lives.
int StopSignalNotifier();
// Drains the notifier after it became readable.
void DrainStopSignalNotifier();

}  // namespace quarnet::os
