// Message targets, posted and sent messages, and one-shot timers.
//
// Any thread may post; a posted message is delivered on the main thread, in
// order, by the current event loop. A message owns a copy of its payload, so
// the poster may free its buffer at once. Send runs the target directly on the
// main thread; from another thread it becomes a post (result 0).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32types.h"

namespace plat {

struct Message {
  WindowId target = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::vector<std::uint8_t> payload;  // owned copy; empty when none

  const std::uint8_t* data() const { return payload.empty() ? nullptr : payload.data(); }
};

class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  virtual LRESULT OnMessage(const Message& m) = 0;
};

// Registers a target and returns its id. Ids are never reused while the
// process runs. Unregister drops the target's queued messages and timers.
WindowId RegisterTarget(IMessageTarget* target);
void UnregisterTarget(WindowId id);
bool IsTarget(WindowId id);

bool PostMessage(WindowId to, UINT msg, WPARAM w = 0, LPARAM l = 0);
bool PostMessage(WindowId to, UINT msg, WPARAM w, LPARAM l, const void* data, std::size_t len);
LRESULT SendMessage(WindowId to, UINT msg, WPARAM w = 0, LPARAM l = 0,
                    const void* data = nullptr, std::size_t len = 0);

// One-shot timers by (target, id): delivered once as WM_TIMER with wParam =
// id. Setting an armed timer again replaces it. Main thread only.
bool SetTimer(WindowId target, UINT timerId, UINT ms);
bool KillTimer(WindowId target, UINT timerId);
bool IsTimerArmed(WindowId target, UINT timerId);

bool IsMainThread();

// Modal loops (message boxes, modal dialogs) on the main thread. Work that
// would take objects away from under such a loop waits until the outermost
// one has ended.
//
// The program's exit ends them: BeginExit ends every open loop, innermost
// first, through the way each gave to end it (its cancel), and from then on
// a modal loop does not run at all: it answers its cancel at once.
class ModalLoopScope {
 public:
  ModalLoopScope();
  ~ModalLoopScope();
  ModalLoopScope(const ModalLoopScope&) = delete;
  ModalLoopScope& operator=(const ModalLoopScope&) = delete;

  // How the loop is ended for the exit; run at most once.
  void SetEnd(std::function<void()> end);
  // True once the exit has ended this loop.
  bool EndedForExit() const { return endedForExit_; }

 private:
  friend void BeginExit();
  void EndForExit();

  bool counted_;  // only the main thread's loops count
  bool endedForExit_ = false;
  std::function<void()> end_;
};
int ModalLoopDepth();
// Posts at once when no modal loop runs, else when the outermost one ends.
bool PostWhenNoModalLoop(WindowId to, UINT msg, WPARAM w = 0, LPARAM l = 0);

// The program's exit has begun: every modal loop is ended, innermost first,
// and none runs any more. Main thread only; asking again ends what has
// opened since.
void BeginExit();
bool Exiting();
// The exit is over (a process that runs the program more than once: tests).
void ResetExit();

}  // namespace plat
