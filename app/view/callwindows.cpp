#include "app/view/callwindows.h"
#include "app/view/chargewindows.h"

#include <memory>

#include "app/callwin/assistantdlg.h"
#include "app/callwin/dialdlg.h"
#include "app/callwin/newrecordquestiondlg.h"
#include "app/callwin/visualizeconnections.h"
#include "app/dialogs/calldatadlg.h"
#include "charges/calldata/calldatareport.h"
#include "app/dialogs/extrasdlg.h"
#include "app/dialogs/ownworkstationdlg.h"
#include "app/dialogs/settingsdlgs.h"
#include "app/dialogs/subscriberoverviewdlg.h"
#include "app/dialogs/systemconnectiondlg.h"
#include "app/lists/memorykeystore.h"
#include "app/lists/shortdialdlg.h"
#include "app/view/brimlowview.h"
#include "core/base/globalconfig.h"

namespace {

// The assistant owns the memory keys it shows.
class ProgramAssistant : public CAssistantDlg {
 public:
  ProgramAssistant(CBrimlowDoc& doc, CVisualizeConnections* drawing) : keys_(doc.SpeedDial(), &doc.MonitorTable()) {
    speedDial = &keys_;
    this->drawing = drawing;
  }

 private:
  CShortDialMemoryKeys keys_;
};

}  // namespace

void InstallCallWindows(CBrimlowView& view, CBrimlowDoc& doc) {
  auto drawing = std::make_unique<CVisualizeConnections>();
  CVisualizeConnections* d = drawing.get();
  d->monitors = &doc.MonitorTable();
  d->phoneBook = doc.PhoneBook();
  d->callHandler = &doc.CallHandler();
  d->callbackList = &doc.CallbackList();
  d->speedDial = &doc.SpeedDial();
  doc.SpeedDial().registerItem = [d](int item, plat::WindowId, int kind, const std::string& number) {
    d->Register(item, nullptr, kind, number);
  };
  view.SetDrawing(std::move(drawing));

  view.SetWindow(CBrimlowView::kAssistant, std::make_unique<ProgramAssistant>(doc, d));
  auto keypad = std::make_unique<CDialDlg>();
  keypad->callHandler = &doc.CallHandler();
  view.SetWindow(CBrimlowView::kKeypad, std::move(keypad));
  view.SetWindow(CBrimlowView::kQuestion, std::make_unique<CNewRecordQuestionDlg>());
  view.SetWindow(CBrimlowView::kOverview, std::make_unique<CSubscriberOverviewDlg>(&doc.MonitorTable(), d));
  view.Commands().Register(ID_OVERVIEW_HOVER, [&view] {
    if (auto* overview = dynamic_cast<CSubscriberOverviewDlg*>(view.Window(CBrimlowView::kOverview)))
      overview->SetHoverTexts(!overview->HoverTexts());
  });
  InstallSettingsCommands(view, doc);
  InstallChargeWindows(view, doc);
}

void InstallSettingsCommands(CBrimlowView& view, CBrimlowDoc& doc) {
  CCommandTable& c = view.Commands();
  c.Register(ID_AUTOSTART, [&view] { RunStartupDlg(GlobalConfig(), view.Id()); });
  c.Register(ID_SYSTEM_CONNECTION, [&view] { RunSystemConnectionDlg(GlobalConfig(), view.Id()); });
  c.Register(ID_CUSTOMER_INFO, [&view] { RunCustomerInfoDlg(GlobalConfig(), view.Id()); });
  c.Register(ID_ASSISTANT_SETUP, [&view] { RunAssistantSetupDlg(GlobalConfig(), view.Id()); });
  c.Register(ID_CALLDATA_ORDER, [&view] { RunCallDataOrderDlg(view.Id()); });
  // The own workstation's call data (182) and its action "show" (185).
  static CMarpelReportPrinter printer;
  const plat::WindowId viewId = view.Id();
  doc.CallData().showCall = [viewId](const CCallInfo& call) { ShowCallInformation(call, viewId); };
  c.Register(CBrimlowView::ID_CALLDATA, [&view, &doc] { RunCallDataDlg(doc.CallData(), &printer, view.Id()); });
  c.Register(ID_EXTRAS, [&view, &doc] { RunExtrasDlg(doc.MonitorTable(), view.Id()); });
  SetExtensionChooser(&ChooseOwnWorkstationExtension);
  doc.Commands().Register(CBrimlowDoc::ID_OWN_WORKSTATION, [&view, &doc] {
    RunOwnWorkstationDlg(doc.MonitorTable(), view.Id());
    doc.AfterOwnWorkstationDialog();
  });
}
