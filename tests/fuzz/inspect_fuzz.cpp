// Fuzz target: the verification behind `quarnet-cli info` over arbitrary
// bytes. Its verdict is compared with an independent one, worked out here
// from the raw bytes with a bitwise CRC-32: a package is consistent exactly
// when its lengths, its back-to-back item layout, every checksum and every
// item head agree with its bytes. The same bytes inspected as a file must
// give the same checks, and their facts compared with themselves no
// difference.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "package/format.h"
#include "package/inspect.h"
#include "package/package_diff.h"
#include "tests/fuzz/fuzz_support.h"

namespace quarnet::fuzz {
namespace {

using Bytes = std::span<const std::uint8_t>;

bool Inside(Bytes bytes, std::uint64_t offset, std::uint64_t length) {
  return offset <= bytes.size() && length <= bytes.size() - offset;
}

std::uint32_t Crc(Bytes bytes, std::uint64_t offset, std::uint64_t length) {
  return ReferenceCrc32(bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
}

bool HasHead(const std::string& name) {
  return name == "KERNEL" || name == "ROOTFS" || name == "SYSTEM" || name == "MINISYS";
}

// The item's bytes lie inside the file, match its CRC and, for an image that
// starts with the head mark, match the head's length and payload CRC.
bool ItemAgrees(Bytes bytes, std::size_t record) {
  const std::uint64_t offset = Le32(bytes, record + 8);
  const std::uint64_t length = Le32(bytes, record + 12);
  if (!Inside(bytes, offset, length) || Crc(bytes, offset, length) != Le32(bytes, record + 4)) return false;
  if (!HasHead(FieldText(bytes, record + 272, 16)) || length < 4 || Le32(bytes, offset) != kHeadMark) return true;
  return length >= kItemHeadSize && Le32(bytes, offset + 76) == length - kItemHeadSize &&
         Crc(bytes, offset + kItemHeadSize, length - kItemHeadSize) == Le32(bytes, offset + 80);
}

bool TableAgrees(Bytes bytes, std::size_t table, std::uint32_t n) {
  return n <= kMaxItems && Inside(bytes, table, std::uint64_t{kItemRecordSize} * n);
}

bool FullAgrees(Bytes bytes) {
  if (bytes.size() < kItemTableOffset) return false;
  const std::uint32_t n = Le32(bytes, 20);
  if (!TableAgrees(bytes, kItemTableOffset, n)) return false;
  const std::uint64_t tableEnd = kItemTableOffset + kItemRecordSize * n;
  if (Be32(bytes, 4) != bytes.size() - 76 || Le32(bytes, 12) != kExternHeaderSize + kItemRecordSize * n ||
      Le16(bytes, 26) != kExternHeaderSize || Le16(bytes, 28) != kItemRecordSize ||
      Le32(bytes, 16) != Crc(bytes, 20, tableEnd - 20) || Le32(bytes, 8) != Crc(bytes, 12, bytes.size() - 12)) {
    return false;
  }
  std::uint64_t next = tableEnd;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::size_t record = kItemTableOffset + kItemRecordSize * i;
    if (Le32(bytes, record + 8) != next || !ItemAgrees(bytes, record)) return false;
    next += Le32(bytes, record + 12);
  }
  return next == bytes.size();
}

bool CompactAgrees(Bytes bytes) {
  if (bytes.size() < kCompactHeaderSize) return false;
  const std::uint32_t n = Le32(bytes, 20);
  if (!TableAgrees(bytes, kCompactHeaderSize, n)) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (!ItemAgrees(bytes, kCompactHeaderSize + kItemRecordSize * i)) return false;
  }
  return true;
}

PackageKind KindOf(Bytes bytes) {
  if (bytes.size() < 4) return PackageKind::kNotPackage;
  const std::uint32_t mark = Le32(bytes, 0);
  if (mark == kPackageMark) return PackageKind::kFull;
  if (mark == kCompactMark) return PackageKind::kCompact;
  return PackageKind::kNotPackage;
}

bool SameChecks(const Inspection& a, const Inspection& b) {
  if (a.checks.size() != b.checks.size() || a.records.size() != b.records.size()) return false;
  for (std::size_t i = 0; i < a.checks.size(); ++i) {
    const Check& x = a.checks[i];
    const Check& y = b.checks[i];
    if (x.name != y.name || x.ok != y.ok || x.expected != y.expected || x.found != y.found) return false;
  }
  return true;
}

// The bytes as a file, through an anonymous memory file.
Inspection InspectAsFile(Bytes bytes) {
  const int fd = ::memfd_create("package", MFD_CLOEXEC);
  if (fd < 0) Fail("memfd_create failed");
  if (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    Fail("write to the memory file failed");
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  Inspection in = InspectPackageFile(path.c_str());
  ::close(fd);
  return in;
}

}  // namespace
}  // namespace quarnet::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarnet;
  using namespace quarnet::fuzz;
  const Bytes bytes(data, size);
  const Inspection in = InspectPackage(bytes);
  if (!in.readable) Fail("bytes in memory reported unreadable");
  const PackageKind kind = KindOf(bytes);
  if (in.kind != kind) Fail("kind %d, expected %d", static_cast<int>(in.kind), static_cast<int>(kind));
  const bool agrees = kind == PackageKind::kFull      ? FullAgrees(bytes)
                      : kind == PackageKind::kCompact ? CompactAgrees(bytes)
                                                      : false;
  if (in.Consistent() && !agrees) Fail("consistent, but the bytes differ from what the package describes");
  if (!in.Consistent() && agrees) Fail("inconsistent, but every length and checksum agrees");
  const PackageFacts facts = FactsOf(in);
  if (facts.Consistent() != in.Consistent()) Fail("the facts give another verdict than the inspection");
  if (!ComparePackages(facts, facts).Same()) Fail("a package differs from itself");

  const Inspection fromFile = InspectAsFile(bytes);
  if (!fromFile.readable || fromFile.kind != in.kind || !SameChecks(in, fromFile))
    Fail("the file gives other checks than the same bytes in memory");
  return 0;
}
