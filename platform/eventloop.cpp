// The deterministic loop for tests.
#include "platform/eventloop.h"

#include "platform/messages.h"

namespace plat {
namespace detail {
void ResetQueues();
bool FireOneDueTimer(std::uint64_t now);
}  // namespace detail

ManualLoop::ManualLoop(std::time_t wallStart) : wallStart_(wallStart) { SetEventLoop(this); }

ManualLoop::~ManualLoop() {
  if (CurrentEventLoop() == this) {
    SetEventLoop(nullptr);
    detail::ResetQueues();
    ResetExit();
  }
}

std::size_t ManualLoop::RunUntilIdle() {
  std::size_t total = 0;
  while (std::size_t n = DispatchPending()) total += n;
  return total;
}

void ManualLoop::Advance(std::uint64_t ms) {
  const std::uint64_t end = now_ + ms;
  RunUntilIdle();
  std::uint64_t next;
  while (NextTimerDeadline(&next) && next <= end) {
    if (next > now_) now_ = next;
    detail::FireOneDueTimer(now_);
    RunUntilIdle();
  }
  now_ = end;
  RunUntilIdle();
}

}  // namespace plat
