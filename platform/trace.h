// Stand-in for the outside trace-window library: the nine functions the
// program calls, with the arguments it passes. Every function copies what it
// is given, returns at once on the caller's thread, is safe from any thread,
// and tolerates no window being open, unknown handles and double closes.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32types.h"

extern "C" {
void OpenCSTATraceWindow(int reserved1, int reserved2);
// msg points to one whole 982-byte message record.
void ProcessCSTATraceMessage(int reserved, const void* msg);
void CloseCSTATraceWindow(int reserved);

std::uint32_t OpenComTraceWindow(plat::WindowId owner, int kind);
// Kinds 0 and 1: ptr holds value bytes. Kind 9: ptr is a terminated line.
// Kinds 7, 14, 15: ptr carries a number (cast). Others: ptr unused.
void ProcessComTraceMessage(std::uint32_t handle, int kind, long value, const void* ptr);
void CloseComTraceWindow(std::uint32_t handle);

// Returns 0 when no window opened.
std::uint32_t OpenLogWindow(plat::WindowId owner, int reserved);
void ProcessLogMessage(std::uint32_t handle, const char* text, int len);
void CloseLogWindow(std::uint32_t handle);
}

namespace plat {

struct TraceEvent {
  enum Channel { Csta, Com, Log } channel;
  enum Op { Open, Process, Close } op;
  std::uint32_t handle = 0;
  int kind = 0;
  long value = 0;
  std::uintptr_t number = 0;       // kinds that carry a number in the pointer
  std::vector<std::uint8_t> data;  // copied bytes (record, buffer, text)
  WindowId owner = 0;              // Open of the serial trace and the log window
};

class ITraceBackend {
 public:
  virtual ~ITraceBackend() = default;
  // Returns a handle for Open events (0: none opened); ignored otherwise.
  virtual std::uint32_t Handle(const TraceEvent& e) = 0;
};

// Default: a null back end that opens nothing (handles still unique so the
// caller's bookkeeping works). The back end stays owned by the caller.
// Once SetTraceBackend returns, the previous back end is no longer called;
// handles opened on it become unknown handles.
void SetTraceBackend(ITraceBackend* backend);
ITraceBackend* CurrentTraceBackend();  // nullptr: the null back end

class RecordingTraceBackend : public ITraceBackend {
 public:
  std::uint32_t Handle(const TraceEvent& e) override;
  std::vector<TraceEvent> Events() const;
  void Clear();

 private:
  mutable std::mutex mu_;
  std::vector<TraceEvent> events_;
  std::uint32_t next_ = 1;
};

// Simple Qt windows, one per channel; must be created on the main thread.
// Events from other threads are posted to it.
class QtTraceBackend : public ITraceBackend {
 public:
  QtTraceBackend();
  ~QtTraceBackend() override;
  std::uint32_t Handle(const TraceEvent& e) override;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace plat
