// The program's loop over Qt: posted messages are drained by a queued call
// on the loop's thread, timers by one single-shot QTimer aimed at the
// earliest deadline.
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/eventloop.h"
#include "platform/messages.h"

namespace plat {

struct QtEventLoop::Impl {
  QObject context;
  QTimer timer;
  std::atomic<bool> wakePending{false};

  void Reschedule() {
    std::uint64_t deadline;
    if (!NextTimerDeadline(&deadline)) {
      timer.stop();
      return;
    }
    const std::uint64_t now = plat::NowMs();
    const std::uint64_t wait = deadline > now ? deadline - now : 0;
    timer.start(static_cast<int>(std::min<std::uint64_t>(wait, 24u * 3600u * 1000u)));
  }
};

QtEventLoop::QtEventLoop() : impl_(std::make_unique<Impl>()) {
  impl_->timer.setSingleShot(true);
  impl_->timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->context, [this] {
    FireDueTimers(NowMs());
    DispatchPending();
    impl_->Reschedule();
  });
  SetEventLoop(this);
  // Messages posted before the loop existed are delivered once it runs.
  Wake();
}

QtEventLoop::~QtEventLoop() {
  if (CurrentEventLoop() == this) SetEventLoop(nullptr);
  // The run it served is over, and with it the run's exit.
  ResetExit();
}

std::uint64_t QtEventLoop::NowMs() const {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::time_t QtEventLoop::WallTime() const { return std::time(nullptr); }

void QtEventLoop::Wake() {
  if (impl_->wakePending.exchange(true)) return;
  QMetaObject::invokeMethod(
      &impl_->context,
      [this] {
        impl_->wakePending.store(false);
        DispatchPending();
        impl_->Reschedule();
      },
      Qt::QueuedConnection);
}

void QtEventLoop::TimersChanged() { impl_->Reschedule(); }

}  // namespace plat
