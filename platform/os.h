#pragma once
// The one place where the program meets the operating system: files,
// folders, standard output and the console's stop signals. Everything above
// this layer names files by UTF-8 paths and holds folders and files as the
// values below; only the implementation behind this header (one per
// system) includes system headers.
//
// Relative names resolve against a Folder. Calls without one use the
// thread's working folder (ScopedWorkingFolder), and without that the folder
// the process was started in. Nothing here changes the process's current
// directory.
//
// Every call that reaches the system counts as one step of the fault plan
// (SetFaultPlan), so that tests can make any one of them fail.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
// True for the errors that mean a full disk or quota.
bool IsDiskFull(Error error);

// An open folder: the base of relative names and the home of staged files.
// An empty Folder stands for the process's starting folder. On Windows a
// folder is also known by its absolute path, which relative names join:
// the system resolves names against a folder handle only in its native
// layer.
class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  bool IsOpen() const { return handle_ != -1; }
  std::intptr_t native() const { return handle_; }
  // The absolute path (Windows); empty elsewhere.
  const std::wstring& native_path() const { return path_; }
  void Reset(std::intptr_t handle = -1, std::wstring path = {});

 private:
  std::intptr_t handle_ = -1;
  std::wstring path_;
};

// The folder part of `path` as the system splits it: "." for a bare name,
// the root for a name in it. Windows also splits at a backslash and keeps
// a drive: "C:\x" gives "C:\", "C:x" gives "C:".
std::string FolderOf(const std::string& path);

// The folder that relative names of this thread resolve against: the
// innermost ScopedWorkingFolder's, else the starting folder (empty).
const Folder& WorkingFolder();

// Makes `folder` the thread's working folder while the object lives.
class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const Folder& folder);
  ~ScopedWorkingFolder();
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

 private:
  const Folder* previous_;
};

// Opens the folder at `path` (relative to `base`).
Error OpenFolder(const Folder& base, const std::string& path, Folder& out);
// The process's current folder, opened now: the base of the user's
// relative paths for a job that runs elsewhere.
Error OpenStartFolder(Folder& out);

enum class Kind { kNothing, kRegular, kFolder, kLink, kOther };

struct Entry {
  Kind kind = Kind::kNothing;
  std::uint64_t size = 0;
};

// What stands at `path`, the name itself (a link is not followed). A
// missing name is kNothing without an error.
Error Look(const Folder& base, const std::string& path, Entry& out);

// An open regular file, read and written without buffering.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool IsOpen() const { return handle_ != -1; }
  std::intptr_t native() const { return handle_; }
  void Reset(std::intptr_t handle = -1);

  // Reads up to `into.size()` bytes at the current position; fewer only at
  // the end of the file or on an error.
  Error Read(std::span<std::uint8_t> into, std::size_t& got);
  // Reads up to `into.size()` bytes at `offset`, leaving the position.
  Error ReadAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got);
  // Writes all of `bytes` at the current position (or at `offset`).
  Error Write(std::span<const std::uint8_t> bytes);
  Error WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  Error Seek(std::uint64_t offset);
  Error Size(std::uint64_t& size);
  Error Sync();
  // Starts writing `length` bytes at `offset` back to the disk without
  // waiting, so that a later Sync finds little left to do. Advisory: no
  // error, no step of the fault plan; nothing where the system has no such
  // call.
  void StartWriteBack(std::uint64_t offset, std::uint64_t length);
  // Closes the file; the error of a close is reported once.
  Error Close();

 private:
  std::intptr_t handle_ = -1;
};

// Opens the regular file at `path` for reading. Anything else (a folder,
// FIFO, device, socket) is refused with kNotRegularFile, without waiting on
// it; a link is followed.
Error OpenForReading(const Folder& base, const std::string& path, File& out);

// Whether `path` (links followed) names the file that `file` has open; a
// missing name is not the same.
Error IsSameFile(const File& file, const Folder& base, const std::string& path, bool& same);

// Whether a committed file took its name durably.
struct Committed {
  Error error = 0;    // the name was not replaced: the old file, if any, is as it was
  Error warning = 0;  // the name was replaced, but the folder could not be synced
};

// A file that takes its final name only once it is complete. It is written
// unnamed (or under a unique hidden name, "." + name + "." + six
// characters) in the final name's own folder; Commit syncs it and renames
// it over the final name, then syncs the folder. Until then, and after a
// failure or without Commit, the final name keeps what it had and nothing
// of the staged file remains. Hidden names of the same final name that a
// killed process left, and that no live process holds, go at Create.
class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Prepares the staged file for `path` (relative to `base`).
  Error Create(const Folder& base, const std::string& path);
  File& file() { return file_; }
  // `durable` false skips both syncs: for scratch files that never outlive
  // their job.
  Committed Commit(bool durable = true);
  // Drops the staged file (also done by the destructor).
  void Discard();

 private:
  Folder folder_;          // the final name's folder
  std::string name_;       // the final name within it
  std::string temporary_;  // the hidden name, empty while the file has none
  File file_;
};

// Renames `from` (relative to `fromBase`) over `to` (relative to `toBase`)
// on the same file system, under the rules of StagedFile::Commit: a folder
// or special file at `to` is refused, a link or a second name of another
// file is replaced (never written through; Windows refuses both with
// kLinkedTarget), a plain file's permissions (Windows: its read-only,
// hidden, system and not-indexed attributes, and no others of these) pass
// to the new file. The folder of `to` is synced afterwards (Windows:
// flushed).
Committed Replace(const Folder& fromBase, const std::string& from, const Folder& toBase, const std::string& to);

// Removes the file (or link) `path`; a folder is refused (EISDIR).
Error Remove(const Folder& base, const std::string& path);

// A private folder for one job, made as `prefix` + six random characters in
// `parent` and locked for its whole life, so that a sweep never takes it
// for the remains of a job that is gone. Making one first removes such
// remains in `parent`: folders with the prefix, of this user, whose lock
// the sweep can take itself. The destructor removes the folder with the
// files in it.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // `parentPath` relative to `base`; `where` receives the name of the call
  // and path that failed.
  Error Create(const Folder& base, const std::string& parentPath, std::string_view prefix, std::string& where);
  const Folder& folder() const { return folder_; }
  // The folder's path as the caller named its parent.
  const std::string& path() const { return path_; }
  // Removes the folder and the files in it now; the error of the first
  // removal that failed.
  Error Remove();

 private:
  Folder parent_;
  Folder folder_;
  std::string name_;
  std::string path_;
  File lock_;
};

// Why Windows cannot hold the file name `name` ("CON", "a?b", "x."), or
// empty when it can: device names with any extension, the characters
// < > : " / \ | ? * and control characters, a final dot or blank.
std::string WindowsNameProblem(std::string_view name);
// Why this system cannot hold the file name `name`, or empty: the rule
// above on Windows; elsewhere any name without "/" will do.
std::string NameProblem(std::string_view name);

// The names in `folder` (without "." and "..").
Error ListFolder(const Folder& folder, std::vector<std::string>& names);

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

// Tests only: the `failAt`-th call from now on (1 = the next) that reaches
// the system fails with `error`; with `shortWrite`, a write among them
// writes only half its bytes instead (the rest follows in the next call).
// A plan of 0 turns faults off. CallCount tells how many calls were made
// since the plan was set. With `record`, the calls that make names durable
// are kept, in order, with their numbers (PromisedCalls).
struct FaultPlan {
  std::uint64_t failAt = 0;
  Error error = 0;
  bool shortWrite = false;
  bool record = false;
};
void SetFaultPlan(const FaultPlan& plan);
std::uint64_t CallCount();

// A file's sync and close, a rename that must be durable (or one of a
// scratch file, which need not be), a folder's sync after a rename.
enum class Promise { kFileSync, kClose, kDurableRename, kScratchRename, kFolderSync };
struct PromisedCall {
  Promise promise;
  std::uint64_t call;  // its number, as failAt counts
};
std::vector<PromisedCall> PromisedCalls();

}  // namespace quarnet::os
