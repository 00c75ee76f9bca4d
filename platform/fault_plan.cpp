#include "platform/fault_plan.h"
#include "platform/fault_step.h"

#include <atomic>
#include <mutex>

namespace quarnet::os {
namespace {

std::mutex g_planMutex;
FaultPlan g_plan;
std::atomic<std::uint64_t> g_calls{0};
// Read without the lock on every call: most runs have no plan.
std::atomic<bool> g_planned{false};
std::vector<PromisedCall> g_promised;

}  // namespace

void SetFaultPlan(const FaultPlan& plan) {
  const std::lock_guard lock(g_planMutex);
  g_plan = plan;
  g_calls = 0;
  g_planned = plan.failAt != 0 || plan.record;
  g_promised.clear();
}

std::uint64_t CallCount() { return g_calls.load(); }

std::vector<PromisedCall> PromisedCalls() {
  const std::lock_guard lock(g_planMutex);
  return g_promised;
}

namespace detail {

Step TakeStep(Error& error, bool write) {
  const std::uint64_t call = ++g_calls;
  if (!g_planned.load(std::memory_order_relaxed)) return Step::kGoOn;
  const std::lock_guard lock(g_planMutex);
  if (call != g_plan.failAt) return Step::kGoOn;
  if (g_plan.shortWrite) return write ? Step::kWriteHalf : Step::kGoOn;
  error = g_plan.error;
  return Step::kFailed;
}

void NotePromise(Promise promise) {
  if (!g_planned.load(std::memory_order_relaxed)) return;
  const std::lock_guard lock(g_planMutex);
  if (g_plan.record) g_promised.push_back({promise, g_calls.load() + 1});
}

}  // namespace detail
}  // namespace quarnet::os
