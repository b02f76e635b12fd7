#include "app/dialogs/calldatadlg.h"

#include <algorithm>
#include <vector>

#include "charges/calldata/calldatalist.h"
#include "charges/calldata/calldatareport.h"
#include "app/dialogs/radiogroup.h"
#include "core/base/listsupport.h"
#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "platform/text.h"

namespace {

enum Deferred { kAct = 1, kPrint = 2 };

}  // namespace

// ---------------------------------------------------------------- 182

CCallDataDlg::CCallDataDlg(ICallDataSource& list, IReportPrinter* printer)
    : CListDialog(plat::dlg::kProgram, kResourceId), list_(list), printer_(printer) {}

bool CCallDataDlg::OnInitDialog() {
  EnableItem(IDC_PRINT, printer_ != nullptr);
  Fill();
  return true;
}

void CCallDataDlg::Fill() {
  // The lines are put in order first and the box is filled once: inserting
  // each at the top costs the square of a list kept for years.
  std::vector<std::string> lines = ReadCallDataLines(list_);
  if (GlobalConfig().CINFSOSEQ == 1) std::reverse(lines.begin(), lines.end());
  ResetContent(IDC_LIST);
  for (const std::string& line : lines) AddString(IDC_LIST, line);
  SetItemText(IDC_COUNT, plat::StrFormatC("%d", GetCount(IDC_LIST)));
}

bool CCallDataDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_CALLBACK: ActOnSelection(ICallDataSource::kCallBack); return true;
    case IDC_SHOW: ActOnSelection(ICallDataSource::kShow); return true;
    case IDC_TOCALLBACKLIST: ActOnSelection(ICallDataSource::kToCallbackList); return true;
    case IDC_DATABASE: ActOnSelection(ICallDataSource::kToPhoneBook); return true;
    case IDC_EMPTY:
      // A list that could not be emptied keeps its lines: show them.
      if (list_.EmptyList() != 0) {
        Fill();
        return true;
      }
      ResetContent(IDC_LIST);
      SetItemText(IDC_COUNT, "0");
      return true;
    case IDC_PRINT:
      if (printer_) Defer(kPrint);
      return true;
    default:
      return false;
  }
}

void CCallDataDlg::ActOnSelection(int code) {
  const int sel = GetCurSel(IDC_LIST);
  if (sel < 0) return;
  pendingLine_ = GetLBText(IDC_LIST, sel);
  // The actions dial, ask for the handset or open dialogs of their own.
  Defer(kAct, code);
}

void CCallDataDlg::OnDeferred(int action, std::int64_t arg) {
  switch (action) {
    case kAct:
      list_.Act(static_cast<int>(arg), pendingLine_);
      break;
    case kPrint:
      if (printer_) PrintCallDataReport(list_, *printer_, Id());
      break;
    default:
      break;
  }
}

int RunCallDataDlg(ICallDataSource& list, IReportPrinter* printer, plat::WindowId owner) {
  CCallDataDlg dlg(list, printer);
  return dlg.DoModal(owner);
}

// ---------------------------------------------------------------- 192

CCallDataOrderDlg::CCallDataOrderDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

bool CCallDataOrderDlg::OnInitDialog() {
  dialogs::ShowRadio(*this, IDC_OLDEST, 2, m_Order);
  return true;
}

void CCallDataOrderDlg::OnOK() {
  m_Order = dialogs::ReadRadio(*this, IDC_OLDEST, m_Order);
  EndDialog(plat::IDOK);
}

int RunCallDataOrderDlg(plat::WindowId owner) {
  CCallDataOrderDlg dlg;
  dlg.m_Order = GlobalConfig().CINFSOSEQ;
  const int r = dlg.DoModal(owner);
  if (r == plat::IDOK) GlobalConfig().CINFSOSEQ = dlg.m_Order;
  return r;
}

// ---------------------------------------------------------------- 185

CCallInformationDlg::CCallInformationDlg(const CCallInfo& call)
    : Dialog(plat::dlg::kProgram, kResourceId), call_(call) {}

bool CCallInformationDlg::OnInitDialog() {
  const std::string own = CCallInfo::OwnNumber();
  // The partner is the called side when the own extension called.
  const bool partnerCalled = (!own.empty() && call_.callingNumber == own) ||
                             (own.empty() && call_.direction == CCallInfo::kOutgoing);
  SetItemText(IDC_EXTENSION, partnerCalled ? call_.callingNumber : call_.calledNumber);
  SetItemText(IDC_COMPANY, partnerCalled ? call_.calledCompany : call_.callingCompany);
  SetItemText(IDC_NAME, partnerCalled ? call_.calledName : call_.callingName);
  SetItemText(IDC_NUMBER, partnerCalled ? call_.calledNumber : call_.callingNumber);
  std::time_t end = call_.endTime;
  if (!end && call_.beginTime && call_.duration > 0) end = call_.beginTime + call_.duration;
  SetItemText(IDC_DATE, call_.beginTime ? lists::FormatTime(call_.beginTime, "%d. %m. %y") : std::string());
  SetItemText(IDC_FROM, call_.beginTime ? lists::FormatTime(call_.beginTime, "%H:%M:%S") : std::string());
  SetItemText(IDC_TO, end ? lists::FormatTime(end, "%H:%M:%S") : std::string());
  const CGlobalConfig& cfg = GlobalConfig();
  SetItemText(IDC_COST, plat::StrFormatC("%.2f %s", call_.units * static_cast<double>(cfg.PPCU), cfg.CAUN.c_str()));
  return true;
}

int ShowCallInformation(const CCallInfo& call, plat::WindowId owner) {
  CCallInformationDlg dlg(call);
  return dlg.DoModal(owner);
}
