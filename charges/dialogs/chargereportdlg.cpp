#include "charges/dialogs/chargereportdlg.h"

#include <QDialog>

#include <vector>

#include "charges/calldata/calldatareport.h"
#include "core/base/listsupport.h"
#include "charges/dialogs/chargeprint.h"
#include "charges/handler/chargeandloghandler.h"
#include "libs/dialogs/kestrum.h"
#include "platform/filedlg.h"
#include "platform/text.h"
#include "print/marpel32.h"

namespace {

enum Deferred { kSelect = 1, kAskDelete, kSave, kReceiver, kPrint, kBox, kAskStop, kAskEmpty, kNotDeleted };
constexpr int kReportMode = CChargeAndLogHandler::kModeInternal;
constexpr std::size_t kReceiverSize = 1024;

CChargeReportDlg* g_current = nullptr;

std::string Joined(plat::TextId a, plat::TextId b) { return lists::Text(a) + "\r\n" + lists::Text(b); }

}  // namespace

CChargeReportDlg::CChargeReportDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors, IReportPrinter* printer)
    : CChargeWindowDlg(kResourceId, {IDC_READ_TIME, IDC_STATUS, 1}, handler, printer), selection_(handler, monitors) {}

CChargeReportDlg::~CChargeReportDlg() {
  Detach();
  if (g_current == this) g_current = nullptr;
}

CChargeReportDlg* CChargeReportDlg::Current() { return g_current; }

const chargedlg::ReportLines& CChargeReportDlg::Lines() const {
  static const chargedlg::ReportLines kNone;
  return list_ ? list_->Lines() : kNone;
}

bool CChargeReportDlg::OnInitDialog() {
  g_current = this;
  list_ = std::make_unique<chargedlg::ReportListView>(*this, IDC_LIST);
  for (int id : {IDC_SELECT, IDC_SAVE, IDC_DELETE, IDC_REFRESH}) EnableItem(id, handler_ != nullptr);
  EnableItem(IDC_PRINT, handler_ && printer_);
  EnableItem(IDC_RECEIVER, KESTRUMHasFeature(4, 2) == 1);
  if (handler_) {
    handler_->SetRecordsWindow(this);
    attached_ = true;
    // A read-out that runs already (the manager's) ends in this window.
    busy_ = handler_->Job() == CChargeAndLogHandler::kJobRecords;
    EnableItem(IDC_REFRESH, !busy_);
  }
  Fill(0);
  return true;
}

void CChargeReportDlg::Fill(int extStyle) {
  if (!list_) return;
  chargedlg::ReportLines& lines = list_->BeginFill();
  if (handler_) {
    for (std::string l = handler_->GetFirstReportLine(1, kReportMode); !l.empty();
         l = handler_->GetNextReportLine(1, kReportMode))
      lines.Add(l);
  }
  list_->EndFill();
  if (!handler_) return;
  SetItemText(IDC_READ_TIME, handler_->GetReadOutTimeText(1));
  SetItemText(IDC_EXTENSIONS, handler_->GetSummaryText(2, extStyle == 0 ? 1 : extStyle));
  SetItemText(IDC_SUM, handler_->GetSummaryText(6, 1));
  SetItemText(IDC_PERIOD, handler_->GetSummaryText(3, 1));
}

void CChargeReportDlg::OnNotify(int code) {
  if (deleting_ && (code == chargecode::kPbxRecordsDeleted || code == chargecode::kFailed)) {
    // The answer to our delete: only a confirmed one may empty the file.
    deleting_ = false;
    EnableItem(IDC_DELETE, handler_ != nullptr);
    SetItemText(IDC_STATUS, "");
    if (code == chargecode::kPbxRecordsDeleted) Defer(kAskEmpty);
    else Defer(kNotDeleted, handler_ ? handler_->LastRefusal() : -1);
    return;
  }
  switch (code) {
    case 4:
      Fill(0);
      busy_ = false;
      EnableItem(IDC_REFRESH, true);
      break;
    case 5:
      busy_ = false;
      EnableItem(IDC_REFRESH, true);
      SetItemText(IDC_STATUS, "");
      Defer(kBox, 32);
      break;
    case 7:
      Defer(kBox, 31);
      OnNotify(4);
      break;
    default:
      break;
  }
}

bool CChargeReportDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_SELECT:
      if (handler_) Defer(kSelect);
      return true;
    case IDC_REFRESH:
      if (handler_ && !busy_ && handler_->StartAllRecordsReadOut() == 1) {
        busy_ = true;
        EnableItem(IDC_REFRESH, false);
      }
      return true;
    case IDC_DELETE:
      if (handler_) Defer(kAskDelete);
      return true;
    case IDC_SAVE:
      if (handler_) Defer(kSave);
      return true;
    case IDC_RECEIVER:
      Defer(kReceiver);
      return true;
    case IDC_PRINT:
      if (handler_ && printer_) Defer(kPrint);
      return true;
    case IDC_INVOICE:
      return true;
    default:
      return false;
  }
}

void CChargeReportDlg::Leave(int result) {
  if (leaving_) return;
  if (busy_ && handler_) {
    leaving_ = true;
    Defer(kAskStop, result);
    return;
  }
  CChargeWindowDlg::Leave(result);
}

void CChargeReportDlg::Detach() {
  if (attached_ && handler_) handler_->SetRecordsWindow(nullptr);
  attached_ = false;
}

void CChargeReportDlg::OnDeferred(int action, std::int64_t arg) {
  switch (action) {
    case kSelect:
      if (selection_.DoModal(Id()) == plat::IDOK) Fill(1);
      break;
    case kAskDelete:
      AskDelete();
      break;
    case kSave:
      Save();
      break;
    case kReceiver:
      EditReceiver();
      break;
    case kPrint:
      Print();
      break;
    case kBox:
      Box(plat::TextId(37, static_cast<int>(arg)), plat::MB_OK | plat::MB_ICONINFORMATION);
      break;
    case kAskEmpty:
      if (plat::MessageBox(Id(), Joined(plat::TextId(37, 29), plat::TextId(37, 30)), GetWindowText(),
                           plat::MB_YESNO | plat::MB_ICONQUESTION) == plat::IDYES) {
        handler_->Command(8);
        Fill(0);
      }
      break;
    case kNotDeleted:
      plat::MessageBox(Id(), Joined(plat::TextId(37, arg >= 0 ? 31 : 38), plat::TextId(37, 40)), GetWindowText(),
                       plat::MB_OK | plat::MB_ICONWARNING);
      break;
    case kAskStop: {
      leaving_ = false;
      if (busy_ && handler_) {
        if (plat::MessageBox(Id(), Joined(plat::TextId(37, 27), plat::TextId(37, 28)), GetWindowText(),
                             plat::MB_YESNO | plat::MB_ICONQUESTION) == plat::IDYES) {
          handler_->CancelRecordsReadOut();
          busy_ = false;
        }
      }
      Detach();
      EndDialog(static_cast<int>(arg));
      break;
    }
    default:
      break;
  }
}

void CChargeReportDlg::AskDelete() {
  // The PBX's records are gone once deleted: not while a read-out still
  // takes them, and never without the user's yes.
  if (busy_ || handler_->Job() != CChargeAndLogHandler::kJobNone) {
    Box(plat::TextId(37, 34), plat::MB_OK | plat::MB_ICONWARNING);
    return;
  }
  if (Box(plat::TextId(37, 33), plat::MB_YESNO | plat::MB_ICONQUESTION) != plat::IDYES) return;
  // The PBX's answer decides the rest (OnChargeWindowNotify): the charge
  // file is offered for emptying only once the PBX confirmed.
  if (handler_->DeleteAllPbxRecords() != 1) {
    Box(plat::TextId(37, 34), plat::MB_OK | plat::MB_ICONWARNING);
    return;
  }
  deleting_ = true;
  EnableItem(IDC_DELETE, false);
}

void CChargeReportDlg::Save() {
  plat::FileDialogRequest r;
  r.save = true;
  r.title = lists::Text(plat::TextId(37, 26));
  r.fileName = "DEFAULT.CRP";
  r.defaultSuffix = "CRP";
  r.filters = {{lists::Text(plat::TextId(37, 25)), "*.CRP"}};
  std::string path;
  if (!plat::RunFileDialog(Id(), r, &path)) return;
  if (handler_->SaveReport(0, path.c_str(), kReportMode) != 1)
    Box(plat::TextId(37, 35), plat::MB_OK | plat::MB_ICONERROR);
}

void CChargeReportDlg::EditReceiver() {
  if (KESTRUMHasFeature(4, 2) != 1) return;
  const std::string caption = lists::Text(plat::TextId(37, 36));
  const std::string prompt = lists::Text(plat::TextId(37, 37));
  std::vector<char> buffer(kReceiverSize, '\0');
  INPUTPARAMS p{};
  p.size = sizeof(INPUTPARAMS);
  p.parent = Id();
  p.caption = caption.c_str();
  p.prompt = prompt.c_str();
  p.defaultText = receiver_.c_str();
  p.buffer = buffer.data();
  p.bufferSize = static_cast<std::uint16_t>(buffer.size());
  if (KESTRUMInputDialog(&p, 2) != 1) return;
  buffer.back() = '\0';
  receiver_ = buffer.data();
}

void CChargeReportDlg::Print() {
  chargedlg::PrintJob job(*printer_, kDocument, Id());
  if (!job.Open()) return;
  CChargeAndLogHandler& h = *handler_;
  const bool invoice = IsChecked(IDC_INVOICE) != 0;
  // The rows first: the summaries' sum is that of this pass.
  std::vector<std::string> rows;
  for (std::string l = h.GetFirstReportLine(1, kReportMode); !l.empty(); l = h.GetNextReportLine(1, kReportMode))
    rows.push_back(std::move(l));
  job.Begin();
  job.Text(MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, h.GetSummaryText(1, kReportMode));
  job.LaTeX("\\rm");
  job.LaTeX("\\vspace{4mm}");
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(2, 2));
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(3, 2));
  if (invoice) {
    job.LaTeX("\\vspace{20mm}");
    job.TabbedLines(receiver_);
    job.LaTeX("\\vspace{80mm}");
  }
  job.LaTeX("\\rm{12pt}");
  job.LaTeX("\\bf");
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, lists::Text(plat::TextId(37, 39)));
  job.LaTeX("\\rm");
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT,
           plat::StrFormatC("%s\t%s", lists::Text(plat::TextId(37, 3)).c_str(), h.GetReadOutTimeText(1).c_str()));
  job.LaTeX("\\vspace{4mm}");
  job.Text(MARPL_CMD_BEGIN_TABLE, MARPL_SUB_HEADER_FROM_FORMAT,
           "r{31.12.99},r{23:59:00},r{88:88:88},l{000},l{0099000011112222},r{999.99 DM}");
  std::string head;
  for (int e = 24; e >= 19; --e) head += (e == 24 ? "" : "\t") + lists::Text(plat::TextId(37, e));
  job.Text(MARPL_CMD_TABLE_HEADER, MARPL_SUB_HEADER_READ, head);
  job.Plain(MARPL_CMD_TABLE_LINE);
  for (const std::string& r : rows) job.Row(r);
  job.EndWithTotal(h.GetSummaryText(6, 2));
}

int RunChargeReportDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors, IReportPrinter* printer,
                       plat::WindowId owner) {
  if (CChargeReportDlg* open = CChargeReportDlg::Current()) {
    open->Fill(0);
    if (QDialog* w = open->Window()) {
      w->raise();
      w->activateWindow();
    }
    return -2;
  }
  CChargeReportDlg dlg(handler, monitors, printer);
  return dlg.DoModal(owner);
}
