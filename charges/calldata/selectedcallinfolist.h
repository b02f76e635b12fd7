// The own workstation's call data: every connected call of the own
// extension, once cleared, as one text line (the call record's charge
// layout) of the CINFLFN file, kept across runs until the user empties it.
// The call data dialogs read the lines, print them with the report texts
// and run the actions on a chosen line. Main thread only.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "charges/calldata/calldatalist.h"
#include "charges/calldata/calldatareader.h"
#include "core/base/textlogfile.h"
#include "core/callhandler/callpartners.h"
#include "platform/win32types.h"

class CCallHandler;
class CCallInfo;
class CMyDataBaseInterface;

// The callback list as the actions use it.
class ICallDataCallbacks {
 public:
  virtual ~ICallDataCallbacks() = default;
  // A fresh record for the list, null when there is none.
  virtual CCallInfo* NewCallFor(int requester) = 0;
  // Puts the record on the list: 1, else 0 (the record is then still the
  // caller's).
  virtual int AddCall(CCallInfo* call) = 0;
};

class CSelectedCallInformationList : public ICallDataSource, public ICallDataList {
 public:
  static constexpr int kRequester = 31;
  static constexpr std::size_t kBufferSize = 256;

  // path: the CINFLFN file as a Linux path; empty means no file, and
  // nothing is written. An existing file is kept, a missing one created
  // (with its folders); one that cannot be is told to the user.
  explicit CSelectedCallInformationList(std::string path);
  ~CSelectedCallInformationList() override;
  CSelectedCallInformationList(const CSelectedCallInformationList&) = delete;
  CSelectedCallInformationList& operator=(const CSelectedCallInformationList&) = delete;

  // Partners, set by the document and the view; any may stay unset.
  CCallHandler* callHandler = nullptr;
  CMyDataBaseInterface* phoneBook = nullptr;
  ICallDataCallbacks* callbackList = nullptr;
  plat::WindowId view = 0;
  // Dialog 185 on a call, modal.
  std::function<void(const CCallInfo&)> showCall;

  // A call that was connected goes to the file as one line, made durable
  // before this returns: 1. Any other call, no file or a failed write
  // (logged, and told to the user once; the file keeps what it had): 0.
  int AddCall(CCallInfo* call);
  int AddCallData(CCallInfo* call) override { return AddCall(call); }

  // ICallDataSource. FirstLine starts afresh (an earlier reading ends) and
  // NextLine hands out the non-empty lines in file order.
  bool FirstLine() override;
  bool NextLine(std::string* line) override;
  // Replaces the file by an empty one: 0, or 1 when there is no file or it
  // could not be replaced (logged; the lines stay).
  int EmptyList() override;
  // 0 call back, 1 show in dialog 185, 2 put on the callback list, 5 into
  // the phone book; other codes do nothing. Returns 0.
  int Act(int code, const std::string& line) override;
  std::string GetReportText(int code) override;

  // The reading with a look-ahead: the line FirstLine or the last NextLine
  // read ahead, and NextLine's current line or null at the end.
  const char* NextLineText();
  // The second way of reading, into one buffer of kBufferSize bytes: clear
  // empties it; mode 0 starts at the first line, 1 reads the next. A line
  // is cut to kBufferSize - 1 bytes; the next read starts on the next line.
  const char* ReadLine(bool clear, int mode);

  // The line a call is written as: fields that hold tabs or line breaks
  // keep one line of the right parts, with blanks for them.
  static std::string FormLine(const CCallInfo& call);

  const std::string& Path() const { return path_; }

 private:
  // Creates the file with its folders when it is missing: 0, or the errno.
  int MakeFile();
  // The next non-empty line of the reader; false at the end.
  bool ReadAhead(std::string* line);
  // The line read into a record of the pool (or the callback list's):
  // false when it holds no number.
  static bool FillFromLine(CCallInfo& call, const std::string& line);
  std::string OwnNumber() const;
  void CallBack(const std::string& line);
  void Show(const std::string& line);
  void ToCallbackList(const std::string& line);
  void ToPhoneBook(const std::string& line);

  std::string path_;
  CTextLogFile file_;
  CallDataLineReader reader_;
  std::string current_;
  std::string lookAhead_;
  char lineBuffer_[kBufferSize] = {};
};
