// The loops that deliver posted messages and timers.
//
// The program runs on QtEventLoop; tests run on ManualLoop, whose clock only
// moves when the test advances it, so time-outs are tested without sleeping.
#pragma once
#include <cstdint>
#include <ctime>
#include <memory>

namespace plat {

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Monotonic milliseconds.
  virtual std::uint64_t NowMs() const = 0;
  // Wall time, seconds since 1970.
  virtual std::time_t WallTime() const = 0;
  // Called (from any thread) when a message was queued.
  virtual void Wake() = 0;
  // Called on the main thread when the earliest timer deadline changed.
  virtual void TimersChanged() = 0;
};

// Installs the loop and makes the calling thread the main thread. The loop
// stays owned by the caller. Passing nullptr removes it.
void SetEventLoop(EventLoop* loop);
EventLoop* CurrentEventLoop();

// Monotonic and wall time of the current loop (the system's when none).
std::uint64_t NowMs();
std::time_t WallTime();

// Used by loop back ends, main thread only.
std::size_t DispatchPending();             // delivers queued messages; returns count
std::size_t FireDueTimers(std::uint64_t now);  // delivers timers due at now
bool NextTimerDeadline(std::uint64_t* deadline);

// Deterministic loop for tests: nothing happens until the test runs it.
// Both loops install themselves on construction (SetEventLoop(this)) and,
// when they end, forget an exit that was begun (plat::BeginExit); a
// ManualLoop also drops every queued message and timer.
class ManualLoop : public EventLoop {
 public:
  explicit ManualLoop(std::time_t wallStart = 1765180800 /* 2025-12-08 08:00 UTC */);
  ~ManualLoop() override;
  std::uint64_t NowMs() const override { return now_; }
  std::time_t WallTime() const override { return wallStart_ + static_cast<std::time_t>(now_ / 1000); }
  void Wake() override {}
  void TimersChanged() override {}

  // Delivers queued messages (and those they post) until none is left.
  std::size_t RunUntilIdle();
  // Moves the clock forward, firing every timer due on the way in deadline
  // order and running the queue after each.
  void Advance(std::uint64_t ms);
  void SetWallStart(std::time_t t) { wallStart_ = t; }

 private:
  std::uint64_t now_ = 0;
  std::time_t wallStart_;
};

// The program's loop: Qt's main loop on the thread that created it.
class QtEventLoop : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  std::uint64_t NowMs() const override;
  std::time_t WallTime() const override;
  void Wake() override;
  void TimersChanged() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
