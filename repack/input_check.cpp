#include "repack/input_check.h"

#include <algorithm>
#include <iterator>

#include "package/crc32.h"
#include "package/display_text.h"
#include "package/job_control.h"
#include "package/job_findings.h"
#include "repack/check_parts.h"

namespace quarnet {
namespace {

// The string ID of each problem's sentence, and what fills its %1, %2, ...
// in order: l line, c column, o offset, m member, d detail, t type.
struct ProblemText {
  CheckProblem problem;
  int textId;
  const char* fills;
};

constexpr ProblemText kProblemTexts[] = {
    {CheckProblem::kNotXml, 507, ""},
    {CheckProblem::kUnreadable, 509, "d"},
    {CheckProblem::kUnknownEncoding, 511, "d"},
    {CheckProblem::kMalformedXml, 513, "lcd"},
    {CheckProblem::kXmlOverBudget, 515, "lcd"},
    {CheckProblem::kNotGzip, 517, ""},
    {CheckProblem::kDamagedGzip, 519, "od"},
    {CheckProblem::kGzipCutShort, 521, "o"},
    {CheckProblem::kNotTar, 523, "o"},
    {CheckProblem::kTarCutShort, 525, "m"},
    {CheckProblem::kAbsoluteMember, 527, "md"},
    {CheckProblem::kParentMember, 529, "md"},
    {CheckProblem::kLinkMember, 531, "md"},
    {CheckProblem::kDeviceMember, 533, "md"},
    {CheckProblem::kOtherMember, 535, "mdt"},
    {CheckProblem::kHugeHeader, 537, "md"},
    {CheckProblem::kEmptyPack, 539, ""},
};

// The sentence that names the file by its role, "%s" its path.
int RoleTextId(FileRole role) {
  switch (role) {
    case FileRole::kConfigPack: return 503;
    case FileRole::kUpdateScript: return 505;
    case FileRole::kConfigFile: break;
  }
  return 501;
}

std::string Fill(const FileCheck& check, char what) {
  switch (what) {
    case 'l': return std::to_string(check.line);
    case 'c': return std::to_string(check.column);
    case 'o': return std::to_string(check.offset);
    case 'm': return std::to_string(check.member);
    case 't': return DisplayText(std::string(1, check.type));
    default: return DisplayText(check.detail);
  }
}

}  // namespace

std::span<const std::uint8_t> BlockReader::Next() {
  if (!failure_.empty() || atEnd_) return {};
  if (CancelRequested()) {
    failure_ = "cancelled";
    return {};
  }
  std::size_t got = 0;
  if (const os::Error error = file_.Read(block_, got)) {
    failure_ = os::Describe(error);
    return {};
  }
  offset_ += got;
  crc_ = Crc32Update(crc_, block_.data(), got);
  atEnd_ = got == 0;
  return {block_.data(), got};
}

std::optional<FileCheck> CheckChosenFile(const os::Folder& base, const std::string& path, FileRole role) {
  os::File file;
  if (os::OpenForReading(base, path, file) != 0) return std::nullopt;
  FileCheck check;
  check.role = role;
  check.path = path;
  BlockReader reader(file);
  if (role == FileRole::kConfigFile) {
    CheckXml(reader, check);
  } else {
    CheckPack(reader, check);
  }
  check.whole = reader.atEnd();
  check.length = reader.offset();
  check.crc = reader.crc();
  return check;
}

std::string DescribeCheck(const FileCheck& check, const std::function<std::string(int)>& text) {
  const std::vector<std::string> path = {DisplayText(check.path)};
  std::string line = FillPlaceholders(text(RoleTextId(check.role)), path);
  const auto problem = std::find_if(std::begin(kProblemTexts), std::end(kProblemTexts),
                                    [&](const ProblemText& p) { return p.problem == check.problem; });
  if (problem == std::end(kProblemTexts)) return line;
  std::vector<std::string> fills;
  for (const char* what = problem->fills; *what != '\0'; ++what) fills.push_back(Fill(check, *what));
  return line + FillPlaceholders(text(problem->textId), fills);
}

}  // namespace quarnet
