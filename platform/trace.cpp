// The trace-window stand-in. Every call copies its arguments into an event
// and hands it to the back end under one mutex, so back ends see events one
// at a time and a back end that is being replaced is never called again.
#include "platform/trace.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/qtext.h"
#include "platform/text.h"

namespace {

using plat::ITraceBackend;
using plat::TraceEvent;

constexpr std::size_t kCstaRecordSize = 982;
constexpr long kMaxComBytes = 4096;
constexpr std::size_t kMaxComLine = 1024;
constexpr std::size_t kMaxLogText = 65536;

struct OpenWindow {
  TraceEvent::Channel channel;
  ITraceBackend* backend;  // nullptr: the null back end
  std::uint32_t backendHandle;
};

struct TraceState {
  std::mutex mu;
  ITraceBackend* backend = nullptr;
  std::unordered_map<std::uint32_t, OpenWindow> open;
  std::uint32_t next = 1;
  bool cstaOpen = false;
  ITraceBackend* cstaBackend = nullptr;
  // cstaOpen on the current back end, readable without the lock: every
  // record passes the CSTA trace, and with no window it must cost nothing.
  std::atomic<bool> cstaLive{false};
  void UpdateLive() { cstaLive.store(cstaOpen && cstaBackend == backend, std::memory_order_release); }
};

TraceState& T() {
  static TraceState* t = new TraceState;  // traces may arrive during exit
  return *t;
}

TraceEvent Ev(TraceEvent::Channel ch, TraceEvent::Op op) {
  TraceEvent e;
  e.channel = ch;
  e.op = op;
  return e;
}

// Opens "succeed" with the caller's own handle; nothing is shown.
std::uint32_t Dispatch(ITraceBackend* b, const TraceEvent& e) {
  if (b) return b->Handle(e);
  return e.op == TraceEvent::Open ? e.handle : 0;
}

std::uint32_t NewHandle(TraceState& t) {
  std::uint32_t h = t.next++;
  if (h == 0) h = t.next++;
  return h;
}

std::uint32_t OpenHandled(TraceEvent::Channel ch, plat::WindowId owner, int kind) {
  TraceState& t = T();
  std::lock_guard<std::mutex> lk(t.mu);
  TraceEvent e = Ev(ch, TraceEvent::Open);
  e.handle = NewHandle(t);
  e.kind = kind;
  e.owner = owner;
  std::uint32_t bh = Dispatch(t.backend, e);
  if (bh == 0) return 0;
  t.open[e.handle] = OpenWindow{ch, t.backend, bh};
  return e.handle;
}

// Hands the event to the back end that opened the handle, if it is still
// the current one.
void ForwardHandled(TraceEvent::Channel ch, std::uint32_t handle, TraceEvent&& e, bool close) {
  TraceState& t = T();
  std::lock_guard<std::mutex> lk(t.mu);
  auto it = t.open.find(handle);
  if (it == t.open.end() || it->second.channel != ch) return;
  const OpenWindow w = it->second;
  if (close) t.open.erase(it);
  if (w.backend != t.backend) return;
  e.handle = w.backendHandle;
  Dispatch(t.backend, e);
}

}  // namespace

extern "C" {

void OpenCSTATraceWindow(int reserved1, int reserved2) {
  TraceState& t = T();
  std::lock_guard<std::mutex> lk(t.mu);
  if (t.cstaOpen && t.cstaBackend == t.backend) return;
  TraceEvent e = Ev(TraceEvent::Csta, TraceEvent::Open);
  e.handle = NewHandle(t);
  e.kind = reserved1;
  e.value = reserved2;
  t.cstaOpen = Dispatch(t.backend, e) != 0;
  t.cstaBackend = t.backend;
  t.UpdateLive();
}

void ProcessCSTATraceMessage(int reserved, const void* msg) {
  if (!T().cstaLive.load(std::memory_order_acquire)) return;
  TraceEvent e = Ev(TraceEvent::Csta, TraceEvent::Process);
  e.kind = reserved;
  if (msg) {
    const auto* p = static_cast<const std::uint8_t*>(msg);
    e.data.assign(p, p + kCstaRecordSize);
  }
  TraceState& t = T();
  std::lock_guard<std::mutex> lk(t.mu);
  if (!t.cstaOpen || t.cstaBackend != t.backend) return;
  Dispatch(t.backend, e);
}

void CloseCSTATraceWindow(int reserved) {
  TraceState& t = T();
  std::lock_guard<std::mutex> lk(t.mu);
  if (!t.cstaOpen) return;
  t.cstaOpen = false;
  t.UpdateLive();
  if (t.cstaBackend != t.backend) return;
  TraceEvent e = Ev(TraceEvent::Csta, TraceEvent::Close);
  e.kind = reserved;
  Dispatch(t.backend, e);
}

std::uint32_t OpenComTraceWindow(plat::WindowId owner, int kind) {
  return OpenHandled(TraceEvent::Com, owner, kind);
}

void ProcessComTraceMessage(std::uint32_t handle, int kind, long value, const void* ptr) {
  if (handle == 0) return;
  TraceEvent e = Ev(TraceEvent::Com, TraceEvent::Process);
  e.kind = kind;
  e.value = value;
  switch (kind) {
    case 0:
    case 1:
      if (ptr && value > 0 && value <= kMaxComBytes) {
        const auto* p = static_cast<const std::uint8_t*>(ptr);
        e.data.assign(p, p + value);
      }
      break;
    case 9:
      if (ptr) {
        const char* s = static_cast<const char*>(ptr);
        e.data.assign(s, s + strnlen(s, kMaxComLine));
      }
      break;
    case 7:
    case 14:
    case 15:
      e.number = reinterpret_cast<std::uintptr_t>(ptr);
      break;
    default:
      break;
  }
  ForwardHandled(TraceEvent::Com, handle, std::move(e), false);
}

void CloseComTraceWindow(std::uint32_t handle) {
  ForwardHandled(TraceEvent::Com, handle, Ev(TraceEvent::Com, TraceEvent::Close), true);
}

std::uint32_t OpenLogWindow(plat::WindowId owner, int reserved) {
  return OpenHandled(TraceEvent::Log, owner, reserved);
}

void ProcessLogMessage(std::uint32_t handle, const char* text, int len) {
  if (handle == 0) return;
  TraceEvent e = Ev(TraceEvent::Log, TraceEvent::Process);
  e.value = len;
  if (text && len > 0) e.data.assign(text, text + strnlen(text, std::min<std::size_t>(len, kMaxLogText)));
  ForwardHandled(TraceEvent::Log, handle, std::move(e), false);
}

void CloseLogWindow(std::uint32_t handle) {
  ForwardHandled(TraceEvent::Log, handle, Ev(TraceEvent::Log, TraceEvent::Close), true);
}

}  // extern "C"

namespace plat {

void SetTraceBackend(ITraceBackend* backend) {
  std::lock_guard<std::mutex> lk(T().mu);
  T().backend = backend;
  T().UpdateLive();
}

ITraceBackend* CurrentTraceBackend() {
  std::lock_guard<std::mutex> lk(T().mu);
  return T().backend;
}

std::uint32_t RecordingTraceBackend::Handle(const TraceEvent& e) {
  std::lock_guard<std::mutex> lk(mu_);
  events_.push_back(e);
  return e.op == TraceEvent::Open ? next_++ : 0;
}

std::vector<TraceEvent> RecordingTraceBackend::Events() const {
  std::lock_guard<std::mutex> lk(mu_);
  return events_;
}

void RecordingTraceBackend::Clear() {
  std::lock_guard<std::mutex> lk(mu_);
  events_.clear();
}

// ---- Qt windows --------------------------------------------------------

namespace {

constexpr int kMaxLines = 5000;

std::string Hex(const std::vector<std::uint8_t>& d, std::size_t max) {
  std::string s;
  for (std::size_t i = 0; i < d.size() && i < max; ++i) s += StrFormatC(i ? " %02X" : "%02X", d[i]);
  if (d.size() > max) s += " ...";
  return s;
}

std::uint32_t Le(const std::vector<std::uint8_t>& d, std::size_t off, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | (off + i < d.size() ? d[off + i] : 0);
  return v;
}

std::string Describe(const TraceEvent& e) {
  switch (e.channel) {
    case TraceEvent::Csta:
      return StrFormatC("type %u  invoke %u  xref %u  ", Le(e.data, 8, 2), Le(e.data, 0, 4), Le(e.data, 4, 4)) +
             Hex(e.data, 48);
    case TraceEvent::Com:
      switch (e.kind) {
        case 0: return StrFormatC("rx %ld: ", e.value) + Hex(e.data, 64);
        case 1: return StrFormatC("tx %ld: ", e.value) + Hex(e.data, 64);
        case 9: return std::string(e.data.begin(), e.data.end());
        default:
          return StrFormatC("kind %d  value %ld  %lu", e.kind, e.value, static_cast<unsigned long>(e.number));
      }
    case TraceEvent::Log:
      return std::string(e.data.begin(), e.data.end());
  }
  return std::string();
}

}  // namespace

struct QtTraceBackend::Impl {
  QObject context;
  std::mutex mu;
  std::uint32_t next = 1;
  std::map<std::uint32_t, std::unique_ptr<QListWidget>> windows;  // GUI thread only

  void Apply(const TraceEvent& e) {
    auto it = windows.find(e.handle);
    switch (e.op) {
      case TraceEvent::Open: {
        if (it != windows.end()) {
          it->second->show();
          return;
        }
        auto w = std::make_unique<QListWidget>();
        const char* title = e.channel == TraceEvent::Csta ? "CSTA Trace" : e.channel == TraceEvent::Com ? "Com Trace" : "Log";
        w->setWindowTitle(QString::fromLatin1(title));
        w->resize(640, 360);
        w->show();
        windows[e.handle] = std::move(w);
        return;
      }
      case TraceEvent::Process: {
        if (it == windows.end()) return;
        QListWidget* w = it->second.get();
        w->addItem(ToQString(Describe(e)));
        while (w->count() > kMaxLines) delete w->takeItem(0);
        w->scrollToBottom();
        return;
      }
      case TraceEvent::Close:
        if (it != windows.end()) windows.erase(it);
        return;
    }
  }
};

QtTraceBackend::QtTraceBackend() : impl_(new Impl) {}

QtTraceBackend::~QtTraceBackend() {
  {
    std::lock_guard<std::mutex> lk(T().mu);
    if (T().backend == this) T().backend = nullptr;
  }
  delete impl_;
}

std::uint32_t QtTraceBackend::Handle(const TraceEvent& e) {
  TraceEvent copy = e;
  std::uint32_t result = 0;
  if (copy.channel == TraceEvent::Csta) {
    copy.handle = 0;  // one window for the whole program
    result = copy.op == TraceEvent::Open ? 1 : 0;
  } else if (copy.op == TraceEvent::Open) {
    std::lock_guard<std::mutex> lk(impl_->mu);
    copy.handle = impl_->next++;
    result = copy.handle;
  }
  Impl* impl = impl_;
  QMetaObject::invokeMethod(
      &impl_->context, [impl, ev = std::move(copy)] { impl->Apply(ev); }, Qt::QueuedConnection);
  return result;
}

}  // namespace plat
