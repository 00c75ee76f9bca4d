#pragma once
// The chosen files, checked before a job puts them into a package that a
// fleet of terminals will install. A configuration file that looks like XML
// (an optional UTF-8 byte order mark, then "<" after blanks) must be
// well-formed; one that does not (an encrypted one) is not judged. A
// configuration pack and an update-script pack must be one gzip stream
// (or several in a row) of a tar archive whose members are regular files
// and folders only, each under a relative path without "..", with at least
// one file among them.
//
// A check reads its file in blocks and keeps a bounded amount of memory
// whatever the file holds: a stream that unpacks to terabytes is walked,
// not held; a tar header that claims a huge name and a document whose
// parse would take more than a fixed budget are findings of their own. A
// requested stop ends a check at its next block.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/files.h"

namespace quarnet {

enum class FileRole { kConfigFile, kConfigPack, kUpdateScript };

enum class CheckProblem {
  kNone,
  // Not judged.
  kNotXml,           // no "<" first: the file is not judged
  kUnreadable,       // a read failed (detail: the system's text)
  kUnknownEncoding,  // the parser does not know the declared encoding (detail: its name)
  // Failed: every value from here on.
  kMalformedXml,       // at line and column (detail: the parser's message)
  kXmlOverBudget,      // the parse needs more than the memory budget (detail: the budget)
  kNotGzip,            // no gzip signature at the start
  kDamagedGzip,        // near byte `offset` (detail: zlib's message)
  kGzipCutShort,       // the file ends at byte `offset` inside the stream
  kNotTar,             // no valid tar header at byte `offset` of the unpacked data
  kTarCutShort,        // the archive ends inside member `member`
  kAbsoluteMember,     // member `member`, named `detail`
  kParentMember,       // a ".." in the path of member `member`
  kLinkMember,         // a hard or symbolic link
  kDeviceMember,       // a character or block device
  kOtherMember,        // any other type (`type`): a FIFO, a sparse file, ...
  kHugeHeader,         // member `member` has a long name or extended header of `detail` bytes
  kEmptyPack,          // no file among the members
};

struct FileCheck {
  FileRole role = FileRole::kConfigFile;
  std::string path;  // as chosen
  CheckProblem problem = CheckProblem::kNone;
  std::string detail;
  std::uint64_t line = 0;    // of an XML finding, from 1
  std::uint64_t column = 0;  // of an XML finding, from 1
  std::uint64_t offset = 0;  // a byte of the file, or of the unpacked data for kNotTar
  std::uint64_t member = 0;  // of a tar finding, from 1
  char type = 0;             // of kOtherMember: the header's type flag
  // The bytes judged, when the check read the whole file: the job must
  // pack these very bytes, not a file that changed since.
  bool whole = false;
  std::uint64_t length = 0;
  std::uint32_t crc = 0;

  bool Failed() const { return problem >= CheckProblem::kMalformedXml; }
  bool NotChecked() const { return problem != CheckProblem::kNone && !Failed(); }
};

// Checks the file at `path` (relative to `base`) for `role`; nothing when
// the file cannot be opened, which the job then reports as its own failure.
std::optional<FileCheck> CheckChosenFile(const os::Folder& base, const std::string& path, FileRole role);

// One line for `check` in the texts that `text` gives for string IDs: the
// role and path, the problem, its place and detail. Paths, member names and
// messages pass the escaper.
std::string DescribeCheck(const FileCheck& check, const std::function<std::string(int)>& text);

}  // namespace quarnet
