// The owner of the program's data objects for the whole run: it builds and
// wires them, serves the settings commands of its menu and, when the main
// window is to close, saves them and asks its view whether the PBX link is
// closed. It has no document file of its own. Main thread only.
#pragma once
#include <memory>
#include <string>

#include "app/lists/callbacklist.h"
#include "app/lists/missedcalls.h"
#include "app/lists/shortdial.h"
#include "app/view/commandtable.h"
#include "charges/calldata/selectedcallinfolist.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/monitor/monitortable.h"
#include "phonebook/database.h"
#include "platform/win32types.h"

class CGlobalConfig;
class CMyDataBaseInterface;

// What the document asks of its one view.
class IDocumentView {
 public:
  virtual ~IDocumentView() = default;
  // Stops the link in steps; true once it is closed.
  virtual bool CanCloseView() = 0;
  // Update hints: 0 refresh the assistant, 1056 pass it the text.
  virtual void OnUpdate(int hint, const std::string& text) = 0;
  virtual plat::WindowId ViewWindow() const = 0;
};

class CBrimlowDoc {
 public:
  static constexpr int kHintRefresh = 0;
  static constexpr int kHintText = 1056;
  enum : plat::UINT {
    ID_ASSISTANT = 32771, ID_NOTHING = 32778, ID_SPEEDDIAL = 32787, ID_EXTENSIONS = 32788,
    ID_OWN_WORKSTATION = 32789,
  };

  // Builds the members in order and wires them (the speed-dial store and
  // the monitor table load the SDFN file as they are built, the callback
  // list loads CBLFN).
  explicit CBrimlowDoc(CGlobalConfig* config = nullptr);
  ~CBrimlowDoc();
  CBrimlowDoc(const CBrimlowDoc&) = delete;
  CBrimlowDoc& operator=(const CBrimlowDoc&) = delete;

  // Members in the order of construction. The phone book is opened on DNFN
  // as it is built; without a file it finds nothing and stores nothing.
  CShortDialHandler& SpeedDial() { return speedDial_; }
  CMyDataBaseInterface* PhoneBook() const { return phoneBook_; }
  CMyDataBase& Database() { return database_; }
  CCallHandler& CallHandler() { return handler_; }
  CCallBackList& CallbackList() { return callbacks_; }
  CMissedCallList& MissedCalls() { return missed_; }
  CMonitorTable& MonitorTable() { return *monitors_; }
  CMessageFilter& Filter() { return filter_; }
  CSelectedCallInformationList& CallData() { return callData_; }

  void SetView(IDocumentView* view) { view_ = view; }
  IDocumentView* View() const { return view_; }

  // The document's commands (the view routes to them after its own).
  CCommandTable& Commands() { return commands_; }

  // The frame's close question: saves what exists, then asks the view.
  bool CanCloseFrame();
  // The call handler purges its released call records. 0.
  int PurgeReleasedCalls();
  void UpdateAllViews(int hint, const std::string& text = std::string());

  // After the own-workstation dialog (32789), whatever its result: the
  // views learn the main phone number the table now holds, never a text
  // the user cancelled.
  void AfterOwnWorkstationDialog();

  // The number the assistant shows: the monitor table's main phone.
  std::string MainPhoneNumber() const;

 private:
  void RunExtensionsDialog();
  void RunSpeedDialDialog();

  CGlobalConfig* config_;
  CShortDialHandler speedDial_;                // 1
  CMyDataBase database_;                       // 2
  CMyDataBaseInterface* phoneBook_ = &database_;
  CCallHandler handler_;                       // 3
  CCallBackList callbacks_;                    // 4
  CMissedCallList missed_;                     // 5
  std::unique_ptr<CMonitorTable> monitors_;    // 6
  CMessageFilter filter_;                      // 7
  // The call data's actions put calls on the callback list through this.
  class CallbackEntries : public ICallDataCallbacks {
   public:
    explicit CallbackEntries(CCallBackList& list) : list_(list) {}
    CCallInfo* NewCallFor(int requester) override { return list_.NewCallFor(requester); }
    int AddCall(CCallInfo* call) override { return list_.AddCall(call); }

   private:
    CCallBackList& list_;
  };
  CallbackEntries callbackEntries_{callbacks_};
  CSelectedCallInformationList callData_;      // 8
  IDocumentView* view_ = nullptr;              // 9
  CCommandTable commands_;
};
