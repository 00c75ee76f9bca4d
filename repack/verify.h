#pragma once
// The repack job's proof of its result. Before the new package replaces the
// output, it is read back and held against what the job asked for: the
// package must be consistent in every length and checksum, and hold the
// original's exported items in their order with their names and bytes, each
// at the Destination the builder gives that name, then the request's added
// files, each byte for byte its local file at its device path and policy,
// then the EFS item; the kernel and root file system items carry the
// version the job asked for, and the product list is the job's.
#include <cstdint>
#include <string>
#include <vector>

#include "repack/repack.h"

namespace quarnet {

// One item the new package must hold, in its place.
struct ExpectedItem {
  std::string name;
  std::string destination;
  std::string version;
  std::uint32_t policy = 0;
  // The bytes: an added file's are those of `localFile` when the check
  // runs; any other item's are given by their length and CRC-32.
  std::string localFile;
  std::uint32_t length = 0;
  std::uint32_t crc = 0;
  bool fromOriginal = false;
};

struct RepackPlan {
  std::vector<ExpectedItem> items;  // in package order, the EFS item last
  std::string productList;
};

// The plan of a job from the original package (nullptr: none), whose item
// table and kernel head are read again here, and the request whose product
// list the job passes to the builder. Returns false, with the reason in
// `why`, when the original cannot be read.
bool PlanRepack(const char* originalPath, const RepackRequest& request, RepackPlan& plan, std::string& why);

struct Verdict {
  bool ok = false;
  // After success one sentence beginning "Verified:" that says what was
  // checked; otherwise the first mismatch.
  std::string text;
};

// Reads `packagePath` back in blocks and checks it against `plan`.
// Reports the bytes it reads as progress and stops at a requested cancel
// (the package then counts as unreadable).
Verdict VerifyRepack(const char* packagePath, const RepackPlan& plan);

}  // namespace quarnet
