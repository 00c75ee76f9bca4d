#pragma once
// Tests only: faults injected into the calls that reach the system, and the
// record of the calls that make a name durable.
#include <cstdint>
#include <vector>

#include "platform/errors.h"

namespace quarnet::os {

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
