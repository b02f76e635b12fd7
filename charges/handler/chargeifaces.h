// What the charge and log handler tells its listeners and windows, and the
// field list it offers the report layouts.
#pragma once
#include <cstdint>
#include <string>

class CChargeAndLogHandler;

namespace chargecode {
inline constexpr int kSumsDone = 0;        // one sum cleared, or a sums read-out ended
inline constexpr int kAllSumsCleared = 1;
inline constexpr int kPbxRecordsDeleted = 3;
inline constexpr int kRecordsDone = 4;
inline constexpr int kNoRecords = 5;
inline constexpr int kFailed = 7;          // a request was given up, or the command 7
inline constexpr int kStatus = 9;
inline constexpr int kAdded = 10;          // handler: the listener's handler
inline constexpr int kProgress = 11;       // number: percent
inline constexpr int kAvailable = 12;      // number: records available
}  // namespace chargecode

// The value of a notice, typed: the handler for code 10, a number for 11
// and 12, nothing else for the others.
struct ChargeNotice {
  CChargeAndLogHandler* handler = nullptr;
  std::int32_t number = 0;
};

// Runs inside the filter's dispatch and its timer: whatever shows UI posts
// it and returns.
class IChargeListener {
 public:
  virtual ~IChargeListener() = default;
  virtual void OnChargeNotify(int code, const ChargeNotice& notice) = 0;
};

// The call-records, charge-sums and third window: code 9 carries the
// status text (empty at the end of a read-out).
class IChargeWindow {
 public:
  virtual ~IChargeWindow() = default;
  virtual void OnChargeWindowNotify(int code, const std::string& text) = 0;
};

class IReportFieldProvider {
 public:
  virtual ~IReportFieldProvider() = default;
  virtual int GetFieldCount() = 0;
  virtual std::string GetFieldName(int i) = 0;
  virtual int GetFieldType(int i) = 0;
  virtual int GetFieldIndex(int i) = 0;
};
