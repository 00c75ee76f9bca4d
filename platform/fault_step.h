#pragma once
// The fault plan's counter, for the two implementations of the floor only:
// every call that reaches the system takes one step first.
#include "platform/fault_plan.h"

namespace quarnet::os::detail {

enum class Step { kFailed, kGoOn, kWriteHalf };

// Counts one call; kFailed with `error` set when the plan fails this call.
// `write` marks a write, which a short-write plan halves instead.
Step TakeStep(Error& error, bool write = false);
// Records that the next call is `promise`, when the plan records.
void NotePromise(Promise promise);

}  // namespace quarnet::os::detail
