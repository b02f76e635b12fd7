// The missed-calls list: one text line (layout 2 of the call record) per
// unanswered call that passes the filter of settings NPLTO and NPLCDOC.
// It keeps no call records and is not saved. Main thread only.
#pragma once
#include <string>
#include <vector>

#include "core/callhandler/callpartners.h"
#include "core/calls/callinfolist.h"
#include "platform/win32types.h"

class CCallBackList;
class CCallHandler;
class CGlobalConfig;
class CMyDataBaseInterface;

class CMissedCallList : public CCallInfoList, public IMissedCallList {
 public:
  static constexpr int kKind = 27;
  enum Act { kCallBack = 17, kToCallbackList = 18, kToPhoneBook = 29 };

  CMissedCallList() = default;

  // Set by the document; any may stay unset.
  plat::WindowId view = 0;
  CCallHandler* callHandler = nullptr;
  CCallBackList* callbackList = nullptr;
  CMyDataBaseInterface* phoneBook = nullptr;

  // The filter; the call stays with its owner. 1, 0 for no call.
  int AddCall(CCallInfo* call) override;
  int RemoveAll() override;
  int GetCount() const override { return static_cast<int>(texts_.size()); }
  // n from 1; "" outside 1..count.
  std::string GetEntryText(int n) const;
  const std::vector<std::string>& Texts() const { return texts_; }

  // 17 calls the line's caller back (1 when the call left), 18 puts the
  // caller on the callback list (1 when added), 29 looks the caller up in
  // the phone book and stores a new record when it is not there (2).
  int Act(int code, const std::string& text);

  // A change is reported to the view (hub 1061, wParam 27).
  void SetReadingMode(int mode);
  int GetReadingMode() const { return readingMode_; }
  // Not empty while a read-out has not ended.
  std::string GetTitle() const;

  // Whether the filter of the configuration takes the call.
  static bool Passes(const CCallInfo& call, const CGlobalConfig& cfg);
  // A number is known when its leading digits hold one that is not 0.
  static bool IsKnownNumber(const std::string& number);
  // The line's caller as the called party of an outgoing record.
  static void FillFromLine(CCallInfo& call, const std::string& line);

  // IMissedCallList
  int AddMissedCall(CCallInfo* call) override { return AddCall(call); }
  int NoCall(int) override;

 private:
  int CallBack(const std::string& text);
  int ToCallbackList(const std::string& text);
  int ToPhoneBook(const std::string& text);

  std::vector<std::string> texts_;
  int readingMode_ = -1;
};
