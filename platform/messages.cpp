// The target registry, the posted-message queue and the one-shot timers.
//
// One mutex guards all of it; no target is ever called with the mutex held,
// so a target may post, send, arm timers or unregister from inside
// OnMessage.
#include "platform/messages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/eventloop.h"

namespace plat {
namespace {

struct Queued {
  std::uint64_t seq;
  Message m;
};

struct TimerKey {
  WindowId target;
  UINT id;
  bool operator<(const TimerKey& o) const { return target != o.target ? target < o.target : id < o.id; }
};

struct Timer {
  std::uint64_t deadline;
  std::uint64_t armSeq;  // ties at one deadline fire in arming order
};

struct State {
  std::mutex mu;
  std::unordered_map<WindowId, IMessageTarget*> targets;
  WindowId nextId = 1;
  std::deque<Queued> queue;
  std::uint64_t nextSeq = 1;
  std::map<TimerKey, Timer> timers;
  std::uint64_t nextArm = 1;
};

State& S() {
  static State* s = new State;  // never destroyed: posts may come during exit
  return *s;
}

// The main thread is the one that installed the loop; before any loop is
// installed it is the thread that loaded the library.
std::atomic<std::thread::id>& MainThread() {
  static std::atomic<std::thread::id> id{std::this_thread::get_id()};
  return id;
}
[[maybe_unused]] const bool g_mainThreadCaptured = (MainThread(), true);

std::atomic<EventLoop*> g_loop{nullptr};

std::uint64_t SystemNowMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void WakeLoop() {
  if (EventLoop* l = g_loop.load()) l->Wake();
}

void NotifyTimersChanged() {
  EventLoop* l = g_loop.load();
  if (!l) return;
  if (IsMainThread())
    l->TimersChanged();
  else
    l->Wake();
}

IMessageTarget* Lookup(WindowId id) {
  std::lock_guard<std::mutex> lk(S().mu);
  auto it = S().targets.find(id);
  return it == S().targets.end() ? nullptr : it->second;
}

// The message owns a copy of the payload.
Message MakeMessage(WindowId to, UINT msg, WPARAM w, LPARAM l, const void* data, std::size_t len) {
  Message m;
  m.target = to;
  m.msg = msg;
  m.wParam = w;
  m.lParam = l;
  if (data && len) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    m.payload.assign(p, p + len);
  }
  return m;
}

bool Enqueue(Message&& m) {
  {
    std::lock_guard<std::mutex> lk(S().mu);
    if (!S().targets.count(m.target)) return false;
    S().queue.push_back(Queued{S().nextSeq++, std::move(m)});
  }
  WakeLoop();
  return true;
}

}  // namespace

namespace detail {
// Drops every queued message and timer; a test loop calls it when it ends so
// that one test's leftovers never reach the next.
void ResetQueues() {
  std::lock_guard<std::mutex> lk(S().mu);
  S().queue.clear();
  S().timers.clear();
}
void SetMainThreadToCaller() { MainThread().store(std::this_thread::get_id()); }
}  // namespace detail

bool IsMainThread() { return MainThread().load() == std::this_thread::get_id(); }

WindowId RegisterTarget(IMessageTarget* target) {
  if (!target) return 0;
  std::lock_guard<std::mutex> lk(S().mu);
  WindowId id = S().nextId++;
  if (id == 0) id = S().nextId++;  // after wrapping; 0 means no window
  S().targets[id] = target;
  return id;
}

void UnregisterTarget(WindowId id) {
  bool hadTimers = false;
  {
    std::lock_guard<std::mutex> lk(S().mu);
    S().targets.erase(id);
    auto& q = S().queue;
    for (auto it = q.begin(); it != q.end();) it = it->m.target == id ? q.erase(it) : it + 1;
    auto& t = S().timers;
    for (auto it = t.lower_bound(TimerKey{id, 0}); it != t.end() && it->first.target == id;) {
      it = t.erase(it);
      hadTimers = true;
    }
  }
  if (hadTimers) NotifyTimersChanged();
}

bool IsTarget(WindowId id) { return Lookup(id) != nullptr; }

bool PostMessage(WindowId to, UINT msg, WPARAM w, LPARAM l) { return PostMessage(to, msg, w, l, nullptr, 0); }

bool PostMessage(WindowId to, UINT msg, WPARAM w, LPARAM l, const void* data, std::size_t len) {
  return Enqueue(MakeMessage(to, msg, w, l, data, len));
}

LRESULT SendMessage(WindowId to, UINT msg, WPARAM w, LPARAM l, const void* data, std::size_t len) {
  if (!IsMainThread()) {
    PostMessage(to, msg, w, l, data, len);
    return 0;
  }
  IMessageTarget* t = Lookup(to);
  if (!t) return 0;
  return t->OnMessage(MakeMessage(to, msg, w, l, data, len));
}

bool SetTimer(WindowId target, UINT timerId, UINT ms) {
  // At least 1 ms, so that a handler re-arming itself with 0 cannot keep a
  // loop at one instant for ever.
  const std::uint64_t deadline = plat::NowMs() + (ms ? ms : 1);
  {
    std::lock_guard<std::mutex> lk(S().mu);
    if (!S().targets.count(target)) return false;
    S().timers[TimerKey{target, timerId}] = Timer{deadline, S().nextArm++};
  }
  NotifyTimersChanged();
  return true;
}

bool KillTimer(WindowId target, UINT timerId) {
  bool erased;
  {
    std::lock_guard<std::mutex> lk(S().mu);
    erased = S().timers.erase(TimerKey{target, timerId}) > 0;
  }
  if (erased) NotifyTimersChanged();
  return erased;
}

bool IsTimerArmed(WindowId target, UINT timerId) {
  std::lock_guard<std::mutex> lk(S().mu);
  return S().timers.count(TimerKey{target, timerId}) > 0;
}

void SetEventLoop(EventLoop* loop) {
  detail::SetMainThreadToCaller();
  g_loop.store(loop);
}

EventLoop* CurrentEventLoop() { return g_loop.load(); }

std::uint64_t NowMs() {
  EventLoop* l = g_loop.load();
  return l ? l->NowMs() : SystemNowMs();
}

std::time_t WallTime() {
  EventLoop* l = g_loop.load();
  return l ? l->WallTime() : std::time(nullptr);
}

std::size_t DispatchPending() {
  // Only what was queued before this call: a target that posts to itself on
  // every message must not keep the loop here for ever.
  std::uint64_t last;
  {
    std::lock_guard<std::mutex> lk(S().mu);
    last = S().nextSeq - 1;
  }
  std::size_t n = 0;
  for (;;) {
    Message m;
    IMessageTarget* t = nullptr;
    {
      std::lock_guard<std::mutex> lk(S().mu);
      auto& q = S().queue;
      if (q.empty() || q.front().seq > last) break;
      m = std::move(q.front().m);
      q.pop_front();
      auto it = S().targets.find(m.target);
      if (it != S().targets.end()) t = it->second;
    }
    if (t) {
      t->OnMessage(m);
      ++n;
    }
  }
  return n;
}

namespace detail {
// Removes and delivers the earliest timer due at now (ties in arming order).
bool FireOneDueTimer(std::uint64_t now) {
  TimerKey key{};
  IMessageTarget* t = nullptr;
  {
    std::lock_guard<std::mutex> lk(S().mu);
    auto& timers = S().timers;
    auto best = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
      if (it->second.deadline > now) continue;
      if (best == timers.end() || it->second.deadline < best->second.deadline ||
          (it->second.deadline == best->second.deadline && it->second.armSeq < best->second.armSeq))
        best = it;
    }
    if (best == timers.end()) return false;
    key = best->first;
    timers.erase(best);
    auto it = S().targets.find(key.target);
    if (it != S().targets.end()) t = it->second;
  }
  if (t) {
    Message m;
    m.target = key.target;
    m.msg = WM_TIMER;
    m.wParam = key.id;
    t->OnMessage(m);
  }
  return true;
}
}  // namespace detail

std::size_t FireDueTimers(std::uint64_t now) {
  std::size_t n = 0;
  while (detail::FireOneDueTimer(now)) {
    ++n;
    DispatchPending();
  }
  return n;
}

bool NextTimerDeadline(std::uint64_t* deadline) {
  std::lock_guard<std::mutex> lk(S().mu);
  if (S().timers.empty()) return false;
  std::uint64_t best = UINT64_MAX;
  for (const auto& [k, t] : S().timers) best = std::min(best, t.deadline);
  if (deadline) *deadline = best;
  return true;
}

namespace {
struct ModalState {
  std::vector<ModalLoopScope*> open;  // innermost last
  std::vector<Message> waiting;
  bool exiting = false;
};
ModalState& Modal() {
  static ModalState m;
  return m;
}
}  // namespace

ModalLoopScope::ModalLoopScope() : counted_(IsMainThread()) {
  if (counted_) Modal().open.push_back(this);
}

ModalLoopScope::~ModalLoopScope() {
  if (!counted_) return;
  ModalState& m = Modal();
  for (auto it = m.open.end(); it != m.open.begin();) {
    if (*--it == this) {
      m.open.erase(it);
      break;
    }
  }
  if (!m.open.empty()) return;
  std::vector<Message> due;
  due.swap(m.waiting);
  for (const Message& w : due) PostMessage(w.target, w.msg, w.wParam, w.lParam);
}

void ModalLoopScope::SetEnd(std::function<void()> end) { end_ = std::move(end); }

void ModalLoopScope::EndForExit() {
  // A loop that gave no end is only waited for.
  if (endedForExit_ || !end_) return;
  endedForExit_ = true;
  // Taken out first: the end may run code that asks again.
  std::function<void()> end = std::move(end_);
  end_ = nullptr;
  end();
}

int ModalLoopDepth() { return static_cast<int>(Modal().open.size()); }

bool PostWhenNoModalLoop(WindowId to, UINT msg, WPARAM w, LPARAM l) {
  ModalState& m = Modal();
  if (m.open.empty()) return PostMessage(to, msg, w, l);
  Message waiting;
  waiting.target = to;
  waiting.msg = msg;
  waiting.wParam = w;
  waiting.lParam = l;
  m.waiting.push_back(std::move(waiting));
  return true;
}

void BeginExit() {
  if (!IsMainThread()) return;
  ModalState& m = Modal();
  m.exiting = true;
  // An end runs the loop's cancel, which may open or close loops: each one
  // of those open now is looked up again before it is ended.
  const std::vector<ModalLoopScope*> open = m.open;
  for (auto it = open.rbegin(); it != open.rend(); ++it)
    if (std::find(m.open.begin(), m.open.end(), *it) != m.open.end()) (*it)->EndForExit();
}

bool Exiting() { return Modal().exiting; }

void ResetExit() { Modal().exiting = false; }

}  // namespace plat
