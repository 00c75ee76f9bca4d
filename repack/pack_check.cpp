// A configuration pack or update-script pack must be a gzip stream of a
// tar archive that a terminal can unpack where it belongs: members that are
// regular files or folders, under relative paths that stay below the folder
// it is unpacked in, and at least one file. The stream is unpacked block by
// block and the archive walked as its bytes arrive; nothing of a member's
// contents is kept.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "package/display_text.h"
#include "repack/check_parts.h"

namespace quarnet {
namespace {

constexpr std::size_t kTarBlock = 512;
// The longest long name or extended header a member may carry: far beyond
// any path on a terminal, small enough to hold.
constexpr std::uint64_t kMaxExtendedHeader = 1 << 20;

using TarHeader = std::array<std::uint8_t, kTarBlock>;

// The text of a header field, up to its first NUL.
std::string_view Field(const TarHeader& h, std::size_t at, std::size_t length) {
  const char* text = reinterpret_cast<const char*>(h.data() + at);
  return {text, static_cast<std::size_t>(std::find(text, text + length, '\0') - text)};
}

// An octal number field: blanks, digits, then NULs or blanks.
bool Octal(std::string_view field, std::uint64_t& value) {
  std::size_t i = field.find_first_not_of(' ');
  if (i == std::string_view::npos || field[i] < '0' || field[i] > '7') return false;
  for (value = 0; i < field.size() && field[i] >= '0' && field[i] <= '7'; ++i) {
    if (value >> 60 != 0) return false;
    value = value * 8 + static_cast<std::uint64_t>(field[i] - '0');
  }
  return field.find_first_not_of(' ', i) == std::string_view::npos;
}

// The size field, octal or (for sizes past 8 GiB) base-256 with the high bit
// of its first byte set.
bool Size(const TarHeader& h, std::uint64_t& size) {
  if ((h[124] & 0x80) == 0) return Octal(Field(h, 124, 12), size);
  if (h[124] != 0x80) return false;  // negative, or past 2^88
  size = 0;
  for (std::size_t i = 125; i < 136; ++i) {
    if (size >> 55 != 0) return false;
    size = size << 8 | h[i];
  }
  return true;
}

// The stored checksum is the sum of the header's bytes with its own field
// read as blanks, unsigned or (as some old writers had it) signed.
bool ChecksumAgrees(const TarHeader& h) {
  std::uint64_t stored = 0;
  if (!Octal(Field(h, 148, 8), stored)) return false;
  std::uint64_t sum = 0;
  std::int64_t signedSum = 0;
  for (std::size_t i = 0; i < h.size(); ++i) {
    const std::uint8_t byte = i >= 148 && i < 156 ? ' ' : h[i];
    sum += byte;
    signedSum += static_cast<signed char>(byte);
  }
  return stored == sum || static_cast<std::int64_t>(stored) == signedSum;
}

// The member's path from its header: a POSIX header may put its folder in
// the prefix field.
std::string HeaderName(const TarHeader& h) {
  const std::string name(Field(h, 0, 100));
  const bool posix = std::memcmp(h.data() + 257, "ustar\0", 6) == 0;
  const std::string_view prefix = posix ? Field(h, 345, 155) : std::string_view();
  return prefix.empty() ? name : std::string(prefix) + "/" + name;
}

bool HasParentStep(std::string_view path) {
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (path.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

// The "path" record of a POSIX extended header ("<length> <key>=<value>\n"
// records), into `path`; false when the records are malformed.
bool ExtendedPath(std::string_view records, std::string& path) {
  while (!records.empty()) {
    const std::size_t blank = records.find(' ');
    if (blank == 0 || blank > 19) return false;  // also without a blank
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < blank; ++i) {
      if (records[i] < '0' || records[i] > '9') return false;
      length = length * 10 + static_cast<std::uint64_t>(records[i] - '0');
    }
    if (length <= blank + 1 || length > records.size() || records[length - 1] != '\n') return false;
    const std::string_view record = records.substr(blank + 1, length - blank - 2);
    const std::size_t equals = record.find('=');
    if (equals == std::string_view::npos) return false;
    if (record.substr(0, equals) == "path") path = record.substr(equals + 1);
    records.remove_prefix(length);
  }
  return true;
}

// A tar archive walked as its bytes arrive: each header is judged, the
// members' contents skipped, a long name or extended header held for the
// member it names.
class TarWalk {
 public:
  explicit TarWalk(FileCheck& check) : check_(check) {}

  // Takes the next unpacked bytes; false once a finding is made.
  bool Take(std::span<const std::uint8_t> bytes);
  // The unpacked data ended.
  void End();

 private:
  enum class Part { kHeader, kBody, kEnded };

  bool TakeHeader();
  void Collected();
  bool Judge(char type, const std::string& name);
  bool Find(CheckProblem problem, std::string detail = {});

  FileCheck& check_;
  Part part_ = Part::kHeader;
  TarHeader header_{};
  std::size_t filled_ = 0;      // of header_
  std::uint64_t headerAt_ = 0;  // where the last header began
  std::uint64_t offset_ = 0;    // unpacked bytes taken
  std::uint64_t left_ = 0;      // of the body, its padding included
  std::uint64_t keep_ = 0;      // of the body, to be collected
  char collecting_ = 0;         // 'L' or 'x' while such a body is collected
  std::string collected_;
  std::string nextName_;        // from a long name or extended header
  std::uint64_t members_ = 0;
  std::uint64_t files_ = 0;
  bool inMember_ = false;       // the body is a member's contents
};

// A finding at the last header, of the member it belongs to.
bool TarWalk::Find(CheckProblem problem, std::string detail) {
  check_.problem = problem;
  check_.detail = std::move(detail);
  check_.offset = headerAt_;
  check_.member = members_ + (inMember_ ? 0 : 1);
  return false;
}

bool TarWalk::Take(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    std::size_t n = bytes.size();
    if (part_ == Part::kHeader) {
      n = std::min(n, kTarBlock - filled_);
      std::copy_n(bytes.begin(), n, header_.begin() + static_cast<std::ptrdiff_t>(filled_));
      filled_ += n;
    } else if (part_ == Part::kBody) {
      n = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
      const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(n, keep_));
      collected_.append(reinterpret_cast<const char*>(bytes.data()), kept);
      keep_ -= kept;
      left_ -= n;
    }
    bytes = bytes.subspan(n);
    offset_ += n;
    if (part_ == Part::kHeader && filled_ == kTarBlock && !TakeHeader()) return false;
    if (part_ == Part::kBody && left_ == 0) Collected();
    if (check_.problem != CheckProblem::kNone) return false;
  }
  return true;
}

// The first block of zeros ends the archive; what follows it is padding.
bool TarWalk::TakeHeader() {
  filled_ = 0;
  headerAt_ = offset_ - kTarBlock;
  if (std::all_of(header_.begin(), header_.end(), [](std::uint8_t b) { return b == 0; })) {
    part_ = Part::kEnded;
    return true;
  }
  std::uint64_t size = 0;
  if (!ChecksumAgrees(header_) || !Size(header_, size)) return Find(CheckProblem::kNotTar);
  const char type = static_cast<char>(header_[156]);
  inMember_ = type != 'L' && type != 'K' && type != 'x' && type != 'g';
  if ((type == 'L' || type == 'x') && size > kMaxExtendedHeader)
    return Find(CheckProblem::kHugeHeader, std::to_string(size));
  collecting_ = type == 'L' || type == 'x' ? type : 0;
  keep_ = collecting_ != 0 ? size : 0;
  collected_.clear();
  left_ = size + (kTarBlock - size % kTarBlock) % kTarBlock;
  part_ = left_ == 0 ? Part::kHeader : Part::kBody;
  if (inMember_) {
    ++members_;
    const std::string name = nextName_.empty() ? HeaderName(header_) : nextName_;
    nextName_.clear();
    if (!Judge(type, name)) return false;
  }
  if (left_ == 0) Collected();
  return check_.problem == CheckProblem::kNone;
}

// A long name's body is the next member's path, up to its NUL; an extended
// header's "path" record is.
void TarWalk::Collected() {
  part_ = Part::kHeader;
  inMember_ = false;
  if (collecting_ == 'L') nextName_ = collected_.substr(0, collected_.find('\0'));
  if (collecting_ == 'x' && !ExtendedPath(collected_, nextName_)) Find(CheckProblem::kNotTar);
  collecting_ = 0;
  collected_.clear();
}

bool TarWalk::Judge(char type, const std::string& name) {
  if (name.empty()) return Find(CheckProblem::kNotTar);
  if (type == '1' || type == '2') return Find(CheckProblem::kLinkMember, name);
  if (type == '3' || type == '4') return Find(CheckProblem::kDeviceMember, name);
  if (type != '0' && type != '\0' && type != '7' && type != '5') {
    check_.type = type;
    return Find(CheckProblem::kOtherMember, name);
  }
  if (name.front() == '/') return Find(CheckProblem::kAbsoluteMember, name);
  if (HasParentStep(name)) return Find(CheckProblem::kParentMember, name);
  files_ += type != '5';
  return true;
}

// An archive may end without its blocks of zeros, but not inside a header
// or a body. Data that ends within its first header is no archive at all.
void TarWalk::End() {
  if (check_.problem != CheckProblem::kNone) return;
  const bool betweenMembers = part_ == Part::kEnded || (part_ == Part::kHeader && filled_ == 0);
  if (betweenMembers) {
    if (files_ == 0) Find(CheckProblem::kEmptyPack);
    return;
  }
  Find(offset_ < kTarBlock ? CheckProblem::kNotTar : CheckProblem::kTarCutShort);
}

// Unpacks what `z` holds as input into the walk; false once a finding is
// made. A stream that ended and is followed by more input starts the next
// gzip member, as gunzip takes it.
bool Inflate(z_stream& z, std::vector<std::uint8_t>& out, bool& ended, TarWalk& tar, FileCheck& check,
             std::uint64_t inputEnd) {
  for (;;) {
    if (ended) {
      if (z.avail_in == 0) return true;
      inflateReset(&z);
      ended = false;
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_NO_FLUSH);
    if (!tar.Take({out.data(), out.size() - z.avail_out})) return false;
    if (result == Z_STREAM_END) {
      ended = true;
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      check.problem = CheckProblem::kDamagedGzip;
      check.offset = inputEnd - z.avail_in;
      check.detail = z.msg != nullptr ? z.msg : "error " + std::to_string(result);
      return false;
    } else if (z.avail_in == 0 && z.avail_out != 0) {
      return true;
    }
  }
}

}  // namespace

void CheckPack(BlockReader& reader, FileCheck& check) {
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
    check.problem = CheckProblem::kUnreadable;
    check.detail = "out of memory";
    return;
  }
  std::vector<std::uint8_t> out(kCheckBlockSize);
  TarWalk tar(check);
  bool ended = false;
  bool found = false;
  for (auto block = reader.Next(); !block.empty() && !found; block = reader.Next()) {
    if (reader.offset() == block.size() && (block.size() < 2 || block[0] != 0x1F || block[1] != 0x8B)) {
      check.problem = CheckProblem::kNotGzip;
      break;
    }
    z.next_in = const_cast<Bytef*>(block.data());
    z.avail_in = static_cast<uInt>(block.size());
    found = !Inflate(z, out, ended, tar, check, reader.offset());
  }
  inflateEnd(&z);
  if (found || check.problem != CheckProblem::kNone) return;
  if (!reader.failure().empty()) {
    check.problem = CheckProblem::kUnreadable;
    check.detail = reader.failure();
  } else if (reader.offset() == 0) {
    check.problem = CheckProblem::kNotGzip;
  } else if (!ended) {
    check.problem = CheckProblem::kGzipCutShort;
    check.offset = reader.offset();
  } else {
    tar.End();
  }
}

}  // namespace quarnet
