// Files and folders on Windows: wide-character calls on absolute paths
// made from an open folder's path, never from a changed current directory.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/fault_step.h"
#include "platform/fault_step.h"
#include "platform/job_folder.h"
#include "platform/process.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/staged.h"
#include "platform/shared.h"
#include "platform/unique_names.h"
#include "platform/windows/win32.h"

namespace quarnet::os {
namespace win {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The texts of the C library of Linux, so that every system reports alike
// (the Windows C library knows fewer numbers and words some differently).
const char* ErrnoText(Error error) {
  switch (error) {
    case EPERM: return "Operation not permitted";
    case ENOENT: return "No such file or directory";
    case EINTR: return "Interrupted system call";
    case EIO: return "Input/output error";
    case EBADF: return "Bad file descriptor";
    case EAGAIN: return "Resource temporarily unavailable";
    case ENOMEM: return "Cannot allocate memory";
    case EACCES: return "Permission denied";
    case EBUSY: return "Device or resource busy";
    case EEXIST: return "File exists";
    case EXDEV: return "Invalid cross-device link";
    case ENOTDIR: return "Not a directory";
    case EISDIR: return "Is a directory";
    case EINVAL: return "Invalid argument";
    case EMFILE: return "Too many open files";
    case EFBIG: return "File too large";
    case ENOSPC: return "No space left on device";
    case EROFS: return "Read-only file system";
    case EPIPE: return "Broken pipe";
    case ENAMETOOLONG: return "File name too long";
    case ENOSYS: return "Function not implemented";
    case ENOTEMPTY: return "Directory not empty";
    case EILSEQ: return "Invalid or incomplete multibyte or wide character";
    case ELOOP: return "Too many levels of symbolic links";
    case ENOTSUP:
    case EOPNOTSUPP: return "Operation not supported";
    default: return nullptr;
  }
}

// The system's message for `code` in `language`; 0 lets the system choose.
std::string SystemText(DWORD code, DWORD language = 0) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 && language != 0) return SystemText(code);
  std::wstring message(text != nullptr ? text : L"", n);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
    message.pop_back();
  if (message.empty()) return "system error " + std::to_string(code);
  return Narrow(message);
}


// The \\?\ form of an absolute path: `path` itself when it has a prefix
// already or names a device (\\.\).
std::wstring LongForm(std::wstring path) {
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

// Paths from this length on get the \\?\ form: a folder's path must leave
// room for a file name of 8.3 characters below MAX_PATH.
constexpr std::size_t kLongPath = MAX_PATH - 12;

}  // namespace

Error Widen(std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return 0;
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (n <= 0) return EILSEQ;
  out.resize(static_cast<std::size_t>(n));
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, out.data(), n);
  return 0;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

Error FromSystem(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS: return EIO;  // a call that failed without saying why
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DELETE_PENDING: return ENOENT;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANT_ACCESS_FILE: return EACCES;
    case ERROR_PRIVILEGE_NOT_HELD: return EPERM;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return kInUse;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return EIO;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
    case kDiskQuotaExceeded: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_NOT_SUPPORTED: return EOPNOTSUPP;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_NEGATIVE_SEEK: return EINVAL;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
    case ERROR_OPERATION_ABORTED: return EINTR;
    default: return kSystemCode - static_cast<Error>(code & 0xFFFF);
  }
}

bool IsBusy(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
         code == ERROR_USER_MAPPED_FILE;
}

// 20, 40, ... 180 ms: 0.9 s over the ten attempts.
DWORD RetryDelay(int attempt) { return static_cast<DWORD>(20 * (attempt - 1)); }

Error AfterRetries(DWORD code) { return code == ERROR_ACCESS_DENIED ? kDeniedOrInUse : kInUse; }

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t separator = path.find_last_of("\\/");
  const bool drive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
  if (separator == std::string::npos) {
    folder = drive ? path.substr(0, 2) : ".";
    name = drive ? path.substr(2) : path;
    return;
  }
  folder = path.substr(0, separator);
  name = path.substr(separator + 1);
  // A name in a root keeps the root: "\" or "C:\".
  if (folder.empty() || (drive && folder.size() == 2)) folder += path[separator];
}


Error FullPath(const Folder& base, const std::string& path, std::wstring& out) {
  std::wstring wide;
  if (path.empty()) return ENOENT;
  if (const Error error = Widen(path, wide)) return error;
  if (wide.rfind(L"\\\\?\\", 0) == 0) {
    out = std::move(wide);
    return 0;
  }
  const bool absolute = (wide.size() >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1])) ||
                        (wide.size() >= 2 && wide[1] == L':') || (!wide.empty() && IsSeparator(wide[0]));
  if (!absolute && base.IsOpen()) wide = base.native_path() + L'\\' + wide;
  std::wstring full(std::max<std::size_t>(wide.size() + MAX_PATH, 512), L'\0');
  for (;;) {
    const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return FromSystem(::GetLastError());
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n);
  }
  out = full.size() >= kLongPath ? LongForm(std::move(full)) : std::move(full);
  return 0;
}

Error Examine(const std::wstring& path, Node& out) {
  out = Node{};
  Error error = 0;
  const HANDLE handle = Open(error, path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return error == ENOENT ? 0 : error;
  out.exists = true;
  out.disk = ::GetFileType(handle) == FILE_TYPE_DISK;
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (out.disk && ::GetFileInformationByHandle(handle, &info) &&
      ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
       ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))) {
    out.attributes = info.dwFileAttributes;
    out.tag = tag.ReparseTag;
    out.links = info.nNumberOfLinks;
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  } else if (out.disk) {
    error = FromSystem(::GetLastError());
  }
  ::CloseHandle(handle);
  return error;
}

bool IsLink(const Node& node) {
  return (node.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (node.tag == IO_REPARSE_TAG_SYMLINK || node.tag == IO_REPARSE_TAG_MOUNT_POINT);
}

Holder HolderOf(const Node& node) {
  if (!node.exists) return Holder::kNothing;
  if (!node.disk) return Holder::kNotPlain;
  if (IsLink(node)) return Holder::kLinked;
  if ((node.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Holder::kNotPlain;
  return node.links > 1 ? Holder::kLinked : Holder::kPlainFile;
}

HANDLE Open(Error& error, const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
            Busy busy) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  Run(
      error,
      [&] {
        handle = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
        return handle != INVALID_HANDLE_VALUE;
      },
      busy);
  return handle;
}

}  // namespace win

std::string SettingsFolder() {
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  return appData != nullptr && appData[0] != L'\0' ? win::Narrow(appData) + "\\Quarnet" : "";
}

Error detail::MakeFolder(const std::string& path) {
  std::wstring full;
  if (const Error error = win::FullPath(Folder(), path, full)) return error;
  return ::CreateDirectoryW(full.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS
             ? 0
             : win::FromSystem(::GetLastError());
}

using win::FromHandle;
using win::FullPath;
using win::Run;
using win::ToHandle;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Calls `call(handle, offset)` (true on success) with the file position
// saved and put back: a positioned read or write moves the position of a
// synchronous handle.
template <class Call>
Error AtOffset(std::intptr_t native, Call call) {
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(ToHandle(native), zero, &position, FILE_CURRENT)) return win::FromSystem(::GetLastError());
  const Error error = call();
  ::SetFilePointerEx(ToHandle(native), position, nullptr, FILE_BEGIN);
  return error;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// One ReadFile of up to `size` bytes; the end of the file reads 0 bytes.
Error ReadOnce(HANDLE handle, std::uint8_t* into, std::size_t size, OVERLAPPED* at, DWORD& got) {
  constexpr std::size_t kMaxCall = std::size_t{1} << 30;
  got = 0;
  Error error = 0;
  if (Run(
          error,
          [&] {
            return ::ReadFile(handle, into, static_cast<DWORD>(std::min(size, kMaxCall)), &got, at) != 0 ||
                   ::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE;
          },
          win::Busy::kFail))
    return 0;
  return error;
}

}  // namespace

std::string detail::SystemErrorText(Error error) {
  if (error <= kSystemCode) return win::SystemText(static_cast<DWORD>(kSystemCode - error));
  if (const char* text = win::ErrnoText(error)) return text;
  return std::generic_category().message(error);
}

// The system error code that stands for `error`, or 0 for the seam's own
// kinds that the system has no message for.
DWORD SystemCodeOf(Error error) {
  if (error <= kSystemCode) return static_cast<DWORD>(kSystemCode - error);
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_DIRECTORY;
    case EPERM:
    case EACCES:
    case kDeniedOrInUse: return ERROR_ACCESS_DENIED;
    case kInUse: return ERROR_SHARING_VIOLATION;
    case ENOSPC: return ERROR_DISK_FULL;
    case EFBIG:
    case kTooLarge: return ERROR_FILE_TOO_LARGE;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
    case EILSEQ: return ERROR_INVALID_NAME;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOMEM:
    case kOutOfMemory: return ERROR_NOT_ENOUGH_MEMORY;
    case EIO: return ERROR_GEN_FAILURE;
    default: return 0;
  }
}

std::string DescribeForUser(Error error) {
  const DWORD code = SystemCodeOf(error);
  return code != 0 ? win::SystemText(code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)) : std::string();
}

bool IsDiskFull(Error error) { return error == ENOSPC || error == EFBIG; }

std::string FolderOf(const std::string& path) {
  std::string folder;
  std::string name;
  win::SplitPath(path, folder, name);
  return folder;
}

void Folder::Reset(std::intptr_t handle, std::wstring path) {
  if (handle_ != -1) ::CloseHandle(ToHandle(handle_));
  handle_ = handle;
  path_ = std::move(path);
}

Error OpenFolder(const Folder& base, const std::string& path, Folder& out) {
  std::wstring full;
  if (const Error error = FullPath(base, path, full)) return error;
  Error error = 0;
  // Opened for its attributes only, shared in every way: the folder stays
  // free to be written, renamed or removed by others, as on POSIX.
  const HANDLE handle =
      win::Open(error, full, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return error;
  Folder folder;
  folder.Reset(FromHandle(handle), full);
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(handle) != FILE_TYPE_DISK) return ENOTDIR;
  if (!::GetFileInformationByHandle(handle, &info)) return win::FromSystem(::GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
  out = std::move(folder);
  return 0;
}

Error OpenStartFolder(Folder& out) { return OpenFolder(Folder(), ".", out); }

Error Look(const Folder& base, const std::string& path, Entry& out) {
  out = Entry{};
  std::wstring full;
  if (const Error error = FullPath(base, path, full)) return error == ENOENT ? 0 : error;
  win::Node node;
  if (const Error error = win::Examine(full, node)) return error == ENOTDIR ? 0 : error;
  if (!node.exists) return 0;
  out.kind = !node.disk                                          ? Kind::kOther
             : win::IsLink(node)                                   ? Kind::kLink
             : (node.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? Kind::kFolder
                                                                   : Kind::kRegular;
  out.size = node.size;
  return 0;
}

void File::Reset(std::intptr_t handle) {
  if (handle_ != -1) ::CloseHandle(ToHandle(handle_));
  handle_ = handle;
}

Error File::Read(std::span<std::uint8_t> into, std::size_t& got) {
  got = 0;
  while (got < into.size()) {
    DWORD n = 0;
    if (const Error error = ReadOnce(ToHandle(handle_), into.data() + got, into.size() - got, nullptr, n))
      return error;
    if (n == 0) break;
    got += n;
  }
  return 0;
}

Error File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) {
  got = 0;
  return AtOffset(handle_, [&]() -> Error {
    while (got < into.size()) {
      if (offset + got > static_cast<std::uint64_t>(INT64_MAX)) return kTooLarge;
      OVERLAPPED at = At(offset + got);
      DWORD n = 0;
      if (const Error error = ReadOnce(ToHandle(handle_), into.data() + got, into.size() - got, &at, n)) return error;
      if (n == 0) break;
      got += n;
    }
    return 0;
  });
}

namespace {

Error WriteFrom(std::intptr_t native, std::span<const std::uint8_t> bytes, const std::uint64_t* offset) {
  for (std::size_t done = 0; done < bytes.size();) {
    Error error = 0;
    DWORD n = 0;
    OVERLAPPED at = At(offset != nullptr ? *offset + done : 0);
    if (!win::WriteOnce(error, bytes.size() - done, n, [&](DWORD size) {
          return ::WriteFile(ToHandle(native), bytes.data() + done, size, &n, offset != nullptr ? &at : nullptr) != 0;
        }))
      return error;
    done += n;
  }
  return 0;
}

}  // namespace

Error File::Write(std::span<const std::uint8_t> bytes) { return WriteFrom(handle_, bytes, nullptr); }

Error File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX) - bytes.size()) return kTooLarge;
  return AtOffset(handle_, [&] { return WriteFrom(handle_, bytes, &offset); });
}

Error File::Seek(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return kTooLarge;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  Error error = 0;
  Run(error, [&] { return ::SetFilePointerEx(ToHandle(handle_), to, nullptr, FILE_BEGIN) != 0; }, win::Busy::kFail);
  return error;
}

Error File::Size(std::uint64_t& size) {
  LARGE_INTEGER n{};
  Error error = 0;
  if (!Run(error, [&] { return ::GetFileSizeEx(ToHandle(handle_), &n) != 0; }, win::Busy::kFail)) return error;
  size = static_cast<std::uint64_t>(n.QuadPart);
  return 0;
}

// The system's lazy writer already writes a file's pages back steadily.
void File::StartWriteBack(std::uint64_t, std::uint64_t) {}

Error File::Sync() {
  detail::NotePromise(Promise::kFileSync);
  Error error = 0;
  Run(
      error,
      [&] {
        if (::FlushFileBuffers(ToHandle(handle_))) return true;
        // Windows flushes only through a handle that may write: a file
        // opened for reading is flushed through a second handle to it.
        if (::GetLastError() != ERROR_ACCESS_DENIED) return false;
        const HANDLE writable = ::ReOpenFile(ToHandle(handle_), GENERIC_WRITE, kShareAll, 0);
        if (writable == INVALID_HANDLE_VALUE) return false;
        const bool flushed = ::FlushFileBuffers(writable) != 0;
        const DWORD code = ::GetLastError();
        ::CloseHandle(writable);
        ::SetLastError(code);
        return flushed;
      },
      win::Busy::kFail);
  return error;
}

Error File::Close() {
  if (handle_ == -1) return 0;
  const HANDLE handle = ToHandle(handle_);
  handle_ = -1;
  Error error = 0;
  detail::NotePromise(Promise::kClose);
  if (detail::TakeStep(error) == detail::Step::kFailed) {
    ::CloseHandle(handle);
    return error;
  }
  return ::CloseHandle(handle) ? 0 : win::FromSystem(::GetLastError());
}

Error OpenForReading(const Folder& base, const std::string& path, File& out) {
  std::wstring full;
  if (const Error error = FullPath(base, path, full)) return error;
  Error error = 0;
  // Backup semantics open a folder too, so that it is refused below rather
  // than failing as access denied; a device or pipe opens without waiting.
  const HANDLE handle = win::Open(error, full, GENERIC_READ, kShareAll, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
  if (handle == INVALID_HANDLE_VALUE) return error;
  File file;
  file.Reset(FromHandle(handle));
  BY_HANDLE_FILE_INFORMATION info{};
  bool disk = false;
  if (!Run(
          error,
          [&] { return !(disk = ::GetFileType(handle) == FILE_TYPE_DISK) || ::GetFileInformationByHandle(handle, &info); },
          win::Busy::kFail))
    return error;
  if (!disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kNotRegularFile;
  out = std::move(file);
  return 0;
}

Error IsSameFile(const File& file, const Folder& base, const std::string& path, bool& same) {
  same = false;
  BY_HANDLE_FILE_INFORMATION open{};
  Error error = 0;
  if (!Run(error, [&] { return ::GetFileInformationByHandle(ToHandle(file.native()), &open) != 0; }, win::Busy::kFail))
    return error;
  std::wstring full;
  if (const Error e = FullPath(base, path, full)) return e == ENOENT ? 0 : e;
  const HANDLE handle = win::Open(error, full, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return error == ENOENT || error == ENOTDIR || error == ELOOP ? 0 : error;
  BY_HANDLE_FILE_INFORMATION named{};
  const bool known = ::GetFileInformationByHandle(handle, &named) != 0;
  ::CloseHandle(handle);
  // An open file that was renamed may report volume 0 (wine does): an
  // unknown volume does not tell the files apart.
  const DWORD openVolume = open.dwVolumeSerialNumber;
  const DWORD namedVolume = named.dwVolumeSerialNumber;
  same = known && (openVolume == namedVolume || openVolume == 0 || namedVolume == 0) &&
         open.nFileIndexHigh == named.nFileIndexHigh && open.nFileIndexLow == named.nFileIndexLow;
  return 0;
}

Error Remove(const Folder& base, const std::string& path) {
  std::wstring full;
  if (const Error error = FullPath(base, path, full)) return error;
  Error error = 0;
  DWORD attributes = 0;
  if (!Run(error, [&] { return (attributes = ::GetFileAttributesW(full.c_str())) != INVALID_FILE_ATTRIBUTES; },
           win::Busy::kFail))
    return error;
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !link) return EISDIR;
  // A file's own read-only mark does not keep it, as on POSIX.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) ::SetFileAttributesW(full.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  // A link to a folder goes as a folder does; its target stays.
  if (Run(error, [&] { return (folder ? ::RemoveDirectoryW(full.c_str()) : ::DeleteFileW(full.c_str())) != 0; }))
    return 0;
  if (readOnly) ::SetFileAttributesW(full.c_str(), attributes);
  return error;
}

std::string NameProblem(std::string_view name) { return WindowsNameProblem(name); }

std::uint64_t detail::ProcessSeed() {
  return static_cast<std::uint64_t>(::GetCurrentProcessId()) * 0x9E3779B97F4A7C15ull ^
         static_cast<std::uint64_t>(::GetTickCount64());
}

}  // namespace quarnet::os
