#pragma once
// The errors of the floor where the program meets the operating system:
// the system's error numbers, and kinds of the floor's own. Everything above
// the floor names files by UTF-8 paths and holds folders and files as the
// values of files.h; only the two implementations (platform/posix,
// platform/windows) include system headers, and nothing else includes
// theirs. Every call that reaches the system counts as one step of the fault
// plan (fault_plan.h), so that tests can make any one of them fail.
#include <string>

namespace quarnet::os {

// A system error: 0 for none, otherwise the system's error number; the
// seam's own kinds are negative.
using Error = int;
inline constexpr Error kNotRegularFile = -1;  // an input that is a FIFO, device, folder, ...
inline constexpr Error kNotPlainTarget = -2;  // a final name held by a folder or a special file
inline constexpr Error kTooLarge = -3;        // past what an offset can express
inline constexpr Error kOutOfMemory = -4;
// Windows only: a final name held by a symbolic link, a junction or a file
// with more than one name, which is refused rather than replaced. Other
// reparse points (a cloud file's placeholder, a deduplicated file) are
// replaced as the files they stand for.
inline constexpr Error kLinkedTarget = -5;
// Windows only: another program (a virus scanner, an indexer, an editor)
// still holds the file after about a second of retries; access denied
// after those retries may be the same, or a lack of rights.
inline constexpr Error kInUse = -6;
inline constexpr Error kDeniedOrInUse = -7;
// Windows only: a system error code without an errno number is
// kSystemCode - code.
inline constexpr Error kSystemCode = -1000;

// The system's text for `error` ("No space left on device", ...).
std::string Describe(Error error);
// The system's own message for `error` in the user's language (on Windows
// from the system's message table, on POSIX from the C library under the
// user's locale), or empty for the floor's own kinds, which have none.
std::string DescribeForUser(Error error);
// True for the errors that mean a full disk or quota.
bool IsDiskFull(Error error);

}  // namespace quarnet::os
