// The message filter's interfaces and the partners it reports to. The
// partners are owned by others and set after construction; any of them may
// be absent.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/wire/csta_message.h"

// Job lock shared by the link start, the monitor steps, the read-outs and
// the view's jobs.
class CPBXJobLock {
 public:
  virtual ~CPBXJobLock() = default;
  // take != 0: succeeds when free or held by state already. take == 0:
  // releases state when it is the one held. 1 done, 0 refused.
  virtual int TakeOrRelease(std::uint32_t state, int take) = 0;
  // Text of the held job (cut to size - 1); returns the state.
  virtual std::uint32_t GetJobText(char* buffer, std::size_t size) = 0;
};

// What the charge and log handler and the view hand their requests to.
class CPBXMessageSink {
 public:
  virtual ~CPBXMessageSink() = default;
  // The filter's entry; 0 when the record concerned a watched device, else 1.
  virtual int ProcessMessage(const CSTAMessage* record) = 0;
  // 0 when the job lock took or released the state, 1 when refused.
  virtual int TakeJob(std::uint32_t state, int take) = 0;
  virtual int GetJobText(char* buffer, std::size_t size) = 0;
};

// Sees every handled record after the filter; must not keep it.
class CSTAMessageListener {
 public:
  virtual ~CSTAMessageListener() = default;
  virtual void OnMessage(const CSTAMessage& record) = 0;
};

// The view's connection drawing.
class IConnectionDrawing {
 public:
  virtual ~IConnectionDrawing() = default;
  virtual void OnConnectionEvent(const std::string& device, std::uint32_t callId, int eventType) = 0;
};

// The view's service record file: the count and the records of each
// call-record read-out.
class IServiceRecordSink {
 public:
  virtual ~IServiceRecordSink() = default;
  virtual void OnCallRecordCount(const CSTAMessage& reply) = 0;
};

// The charge and log handler, as far as the filter drives it.
class IChargeLogHandler {
 public:
  virtual ~IChargeLogHandler() = default;
  // Every private reply (type 93) is handed over; the handler stores it.
  virtual int ProcessChargeMessage(const CSTAMessage& reply) = 0;
  virtual int GetMaxRecordCount() = 0;
  // Notification 7: the outstanding request of its job was given up.
  virtual void OnRequestFailed(std::uint32_t job) = 0;
  // The PBX refused the outstanding request with a universal failure.
  virtual void OnRequestRefused(std::uint32_t job, int code) {
    (void)code;
    OnRequestFailed(job);
  }
  // The filter's own read-out ended.
  virtual void OnReadOutFinished() = 0;
};
