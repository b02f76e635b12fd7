#include "charges/dialogs/totalchargesdlg.h"

#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "core/base/listsupport.h"
#include "charges/dialogs/chargeprint.h"
#include "charges/handler/chargeandloghandler.h"
#include "platform/text.h"
#include "print/marpel32.h"

namespace {
enum Deferred { kBox = 1, kPrint };
constexpr int kFirstDevice = 10;  // the PBX numbers its devices from 10
}  // namespace

CTotalChargesDlg::CTotalChargesDlg(CChargeAndLogHandler* handler, IReportPrinter* printer)
    : CChargeWindowDlg(kResourceId, {IDC_READ_TIME, IDC_STATUS, 0}, handler, printer) {}

CTotalChargesDlg::~CTotalChargesDlg() { Detach(); }

bool CTotalChargesDlg::OnInitDialog() {
  remembered_ = -1;
  devices_.clear();
  // The list's own font: fixed pitch, so that the sums line up.
  if (QWidget* list = Item(IDC_LIST)) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setWeight(QFont::Medium);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    list->setFont(f);
  }
  if (QDialog* w = Window()) {
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      w->adjustSize();
      w->move(s->availableGeometry().center() - w->rect().center());
    }
  }
  for (int id : {IDC_DELETE, IDC_DELETE_ALL}) EnableItem(id, handler_ != nullptr);
  EnableItem(IDC_PRINT, handler_ && printer_);
  if (!handler_) return true;
  handler_->SetSumsWindow(this);
  attached_ = true;
  ResetContent(IDC_LIST);
  if (handler_->StartSumsReadOut() == 1 && handler_->Job() == CChargeAndLogHandler::kJobSums) {
    AddString(IDC_LIST, lists::Text(plat::TextId(38, 19)));
  } else {
    AddString(IDC_LIST, lists::Text(plat::TextId(38, 20)));
    AddString(IDC_LIST, lists::Text(plat::TextId(38, 21)));
  }
  SetItemText(IDC_READ_TIME, handler_->GetReadOutTimeText(0));
  return true;
}

void CTotalChargesDlg::Fill() {
  ResetContent(IDC_LIST);
  devices_.clear();
  if (!handler_) return;
  // The lines come in sum index order: line i is the sum of device i + 10.
  for (std::string l = handler_->GetFirstReportLine(0, 0); !l.empty(); l = handler_->GetNextReportLine(0, 0)) {
    AddString(IDC_LIST, l);
    devices_.push_back(kFirstDevice + static_cast<int>(devices_.size()));
  }
  SetItemText(IDC_READ_TIME, handler_->GetReadOutTimeText(0));
  if (remembered_ >= 0 && remembered_ < GetCount(IDC_LIST)) SetCurSel(IDC_LIST, remembered_);
}

int CTotalChargesDlg::DeviceOfLine(int line) const {
  return line >= 0 && line < static_cast<int>(devices_.size()) ? devices_[static_cast<std::size_t>(line)] : -1;
}

void CTotalChargesDlg::OnNotify(int code) {
  switch (code) {
    case 0:
      Fill();
      break;
    case 1:
      Defer(kBox, 16);
      Fill();
      break;
    case 7:
      Defer(kBox, 15);
      Fill();
      break;
    default:
      break;
  }
}

bool CTotalChargesDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_DELETE: {
      const int sel = GetCurSel(IDC_LIST);
      const int device = DeviceOfLine(sel);
      // The PBX resets by device number; the line begins with the name.
      if (!handler_ || device < 0) return true;
      if (handler_->DeleteDeviceUnits(plat::StrFormatC("%d", device)) == 1) remembered_ = sel;
      return true;
    }
    case IDC_DELETE_ALL:
      if (handler_) handler_->DeleteDeviceUnits("*");
      remembered_ = -1;
      return true;
    case IDC_PRINT:
      if (handler_ && printer_) Defer(kPrint);
      return true;
    default:
      return false;
  }
}

void CTotalChargesDlg::Detach() {
  if (attached_ && handler_) {
    if (handler_->Job() == CChargeAndLogHandler::kJobSums) handler_->CancelSumsReadOut();
    handler_->SetSumsWindow(nullptr);
  }
  attached_ = false;
  remembered_ = -1;
}

void CTotalChargesDlg::OnDeferred(int action, std::int64_t arg) {
  if (action == kBox) Box(plat::TextId(38, static_cast<int>(arg)), plat::MB_OK | plat::MB_ICONINFORMATION);
  else if (action == kPrint) Print();
}

void CTotalChargesDlg::Print() {
  chargedlg::PrintJob job(*printer_, kDocument, Id());
  if (!job.Open()) return;
  CChargeAndLogHandler& h = *handler_;
  const std::string title = lists::Text(plat::TextId(38, 14));
  job.Begin();
  job.Text(MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, title);
  job.LaTeX("\\rm{12pt}");
  job.LaTeX("\\vspace{4mm}");
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, title);
  job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT,
           plat::StrFormatC("%s\t%s", lists::Text(plat::TextId(38, 6)).c_str(), h.GetReadOutTimeText(0).c_str()));
  job.LaTeX("\\vspace{4mm}");
  job.Text(MARPL_CMD_BEGIN_TABLE, MARPL_SUB_HEADER_FROM_FORMAT,
           "l{Nebenstellen},r{Einheiten},r{Xxxxxxxxxxxx},l{Wer auch immer das sein mag}");
  job.Text(MARPL_CMD_TABLE_HEADER, MARPL_SUB_HEADER_READ,
           plat::StrFormatC("%s\t%s\t%s\t%s", lists::Text(plat::TextId(38, 10)).c_str(),
                            lists::Text(plat::TextId(38, 11)).c_str(), lists::Text(plat::TextId(38, 12)).c_str(),
                            lists::Text(plat::TextId(38, 13)).c_str()));
  job.Plain(MARPL_CMD_TABLE_LINE);
  for (std::string l = h.GetFirstReportLine(0, 0); !l.empty(); l = h.GetNextReportLine(0, 0)) job.Row(l);
  job.EndWithTotal(
      plat::StrFormatC("%s\t%s", lists::Text(plat::TextId(38, 9)).c_str(), h.GetSummaryText(6, 3).c_str()));
}
