#pragma once
// The repack job's proof of its result. Before the new package replaces the
// output, it is read back and held against what the job meant to write: the
// package must be consistent in every length and checksum, and hold the
// original's items in their order with their names and the very bytes the
// export pass wrote, each at the Destination the builder gives that name,
// then the request's added files, each with the bytes the job staged or
// read for it, at its device path and policy, then the EFS item; the kernel
// and root file system items carry the version the job asked for, and the
// product list is the job's.
#include <cstdint>
#include <string>
#include <vector>

#include "package/files.h"
#include "package/job_control.h"
#include "package/package_facts.h"
#include "package/reader.h"
#include "repack/repack.h"

namespace quarnet {

// One item the new package must hold, in its place, with the length and
// CRC-32 of the bytes the job meant it to carry.
struct ExpectedItem {
  std::string name;
  std::string destination;
  std::string version;
  std::uint32_t policy = 0;
  std::uint64_t length = 0;
  std::uint32_t crc = 0;
  // Where those bytes came from, for the mismatch: "exported", "staged" or
  // the local file that was read for the check.
  std::string source;
};

struct RepackPlan {
  std::vector<ExpectedItem> items;  // in package order, the EFS item last
  std::string productList;
};

// The plan of a job: the `count` exported items of the original as the
// export pass wrote them (`version` is the one the job gives the kernel
// and root file system), then the request's descriptors, then EFS. A
// descriptor's local file not among `staged` is read now, in the working
// folder. False, with the reason recorded, when such a file cannot be read.
bool PlanRepack(const ItemNameTable& names, const ExportTable& exported, int count, const std::string& version,
                const RepackRequest& request, const std::vector<StagedInput>& staged, RepackPlan& plan);

struct Verdict {
  bool ok = false;
  // After success one sentence beginning "Verified:" that says what was
  // checked; otherwise the first mismatch.
  std::string text;
  VerifiedCounts counts;
  PackageFacts facts;  // of the new package, as the check read it
};

// Reads `package` back in blocks and checks it against `plan`. Reports the
// bytes it reads as progress and stops at a requested cancel (the package
// then counts as unreadable).
Verdict VerifyRepack(InputFile& package, const RepackPlan& plan);

// Length and CRC-32 of the file at `path`, read to its end in blocks; false
// (reason recorded) when it cannot be.
bool SummarizeFile(const std::string& path, std::uint64_t& length, std::uint32_t& crc);

}  // namespace quarnet
