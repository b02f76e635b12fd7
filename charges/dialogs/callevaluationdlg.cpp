#include "charges/dialogs/callevaluationdlg.h"

#include <QDialog>

#include "charges/calldata/calldatareport.h"
#include "core/base/listsupport.h"
#include "core/service/servicerecordfile.h"
#include "charges/dialogs/chargeprint.h"
#include "charges/handler/chargeandloghandler.h"
#include "platform/filedlg.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "print/marpel32.h"

namespace {

enum Deferred { kBox = 1, kRefill, kSelect, kPrint, kSave, kLoad };
constexpr int kLineKind = 4;  // report lines as the list shows them
constexpr int kPrintKind = 1;
constexpr int kGroup = 39;

// The columns of the filter table: handler parameter and control.
struct Column {
  int parameter;
  int control;
};
constexpr Column kSwitchColumns[CCallEvaluationDlg::kColumns - 1] = {
    {7, CCallEvaluationDlg::IDC_CALLED},         {8, CCallEvaluationDlg::IDC_CALLING},
    {11, CCallEvaluationDlg::IDC_EXT_SWITCH},    {9, CCallEvaluationDlg::IDC_TIME_SWITCH},
    {13, CCallEvaluationDlg::IDC_UNITS_SWITCH},  {12, CCallEvaluationDlg::IDC_DURATION_SWITCH},
};
constexpr int kPatternColumn = CCallEvaluationDlg::kColumns - 1;
constexpr int kPatternParameter = 1;
constexpr int kModeParameter = 15;
constexpr int kCopyMatchesParameter = 14;

// called, calling, extensions, time range, minimum units, minimum duration,
// pattern. The seventh filter matches no record; it takes nothing.
constexpr int kTaken[CCallEvaluationDlg::kFilters] = {0x00, 0x00, 0x2C, 0x3E, 0x7F, 0x37, 0x00};

std::string T(int entry) { return lists::Text(plat::TextId(kGroup, entry)); }

bool EndsWithClh(const std::string& path) {
  if (path.size() < 3) return false;
  const std::string tail = path.substr(path.size() - 3);
  return tail == "clh" || tail == "CLH";
}

}  // namespace

int CCallEvaluationDlg::TakenColumns(int filter) { return filter >= 0 && filter < kFilters ? kTaken[filter] : 0; }

CCallEvaluationDlg::CCallEvaluationDlg(int source, CChargeAndLogHandler* charges, CServiceRecordFile* records,
                                       CMonitorTable* monitors, IReportPrinter* printer)
    : CListDialog(plat::dlg::kProgram, kResourceId),
      source_(source == kChargeFile ? kChargeFile : kServiceFile),
      registrar_(charges),
      records_(records),
      printer_(printer),
      selection_(charges, monitors) {}

CCallEvaluationDlg::~CCallEvaluationDlg() {
  DestroyWindow();
  Detach();
}

int CCallEvaluationDlg::Filter() const {
  const int f = GetRadioIndex(IDC_FILTER);
  return f < 0 ? 1 : f;
}

const chargedlg::ReportLines& CCallEvaluationDlg::Lines() const {
  static const chargedlg::ReportLines kNone;
  return list_ ? list_->Lines() : kNone;
}

bool CCallEvaluationDlg::OnInitDialog() {
  list_ = std::make_unique<chargedlg::ReportListView>(*this, IDC_LIST);
  if (registrar_) {
    registrar_->AddListener(this);  // code 10 names the handler
    listening_ = true;
  }
  SetWindowText(T(source_ == kChargeFile ? 2 : 1));
  SetRadioIndex(IDC_FILTER, 1);
  if (source_ == kServiceFile && records_) records_->OpenForReading(0);
  EnableItem(IDC_PARAMETERS, handler_ != nullptr);
  EnableItem(IDC_READ_OUT, handler_ != nullptr);
  EnableItem(IDC_PRINT, printer_ != nullptr);
  EnableItem(IDC_LOAD, records_ != nullptr);
  if (handler_) {
    saved_ = Read();
    haveSaved_ = true;
    Show(saved_);
  }
  Fill();
  return true;
}

CCallEvaluationDlg::Parameters CCallEvaluationDlg::Read() const {
  // Values, not the handler's pointers: they change under the dialog.
  Parameters p;
  for (std::size_t c = 0; c < p.switches.size(); ++c) {
    const auto* v = static_cast<const std::int32_t*>(handler_->GetParameter(kSwitchColumns[c].parameter));
    p.switches[c] = v ? *v : 0;
  }
  const auto* pattern = static_cast<const char*>(handler_->GetParameter(kPatternParameter));
  p.pattern = pattern ? pattern : "";
  p.mode = handler_->FilterMode();
  return p;
}

void CCallEvaluationDlg::Show(const Parameters& p) {
  for (std::size_t c = 0; c < p.switches.size(); ++c) CheckButton(kSwitchColumns[c].control, p.switches[c] ? 1 : 0);
  SetItemText(IDC_PATTERN, p.pattern);
}

void CCallEvaluationDlg::Apply() {
  if (!handler_) return;
  const int taken = TakenColumns(Filter());
  for (std::size_t c = 0; c < std::size(kSwitchColumns); ++c) {
    if (!(taken & (1 << c))) continue;
    const std::int32_t v = IsChecked(kSwitchColumns[c].control);
    handler_->SetParameter(kSwitchColumns[c].parameter, &v);
  }
  if (taken & (1 << kPatternColumn)) handler_->SetParameter(kPatternParameter, GetItemText(IDC_PATTERN).c_str());
}

void CCallEvaluationDlg::ShowFilter() {
  // The switches a filter does not take are the handler's: shown, not set.
  const int taken = TakenColumns(Filter());
  if (handler_) Show(Read());
  for (std::size_t c = 0; c < std::size(kSwitchColumns); ++c)
    EnableItem(kSwitchColumns[c].control, source_ == kChargeFile && handler_ && (taken & (1 << c)));
  EnableItem(IDC_PATTERN, source_ == kChargeFile && handler_ && (taken & (1 << kPatternColumn)));
}

void CCallEvaluationDlg::Restore() {
  if (!haveSaved_ || !handler_) return;
  haveSaved_ = false;
  PutBack();
}

void CCallEvaluationDlg::PutBack() {
  for (std::size_t c = 0; c < saved_.switches.size(); ++c)
    handler_->SetParameter(kSwitchColumns[c].parameter, &saved_.switches[c]);
  handler_->SetParameter(kPatternParameter, saved_.pattern.c_str());
  handler_->SetParameter(kModeParameter, &saved_.mode);
}

void CCallEvaluationDlg::Detach() {
  Restore();
  if (listening_ && registrar_) registrar_->RemoveListener(this);
  listening_ = false;
}

void CCallEvaluationDlg::OnDestroy() {
  // The modeless window destroyed by its owner, or the program's end.
  Detach();
  list_.reset();
}

void CCallEvaluationDlg::Leave(int result) {
  Detach();
  if (IsModalRunning()) EndDialog(result);
  else DestroyWindow();
}

void CCallEvaluationDlg::Fill() {
  if (!list_) return;
  ++fills_;
  if (source_ == kChargeFile) FillCharges();
  else FillService();
  ShowFilter();
}

bool CCallEvaluationDlg::Add(chargedlg::ReportLines& lines, const std::string& line) {
  const std::size_t before = lines.Count();
  lines.Add(line);
  if (lines.Count() != before) return true;
  // One box, then no more lines: the list is full.
  Defer(kBox, 41);
  return false;
}

void CCallEvaluationDlg::FillService() {
  chargedlg::ReportLines& lines = list_->BeginFill();
  lines.SetCapacity(limit_);
  int read = 0;
  if (records_) {
    for (std::string l = records_->FirstLine(); !l.empty(); l = records_->NextLine()) {
      if (!Add(lines, l)) break;
      ++read;
    }
  }
  list_->EndFill();
  ShowCounts(read, read);
}

void CCallEvaluationDlg::FillCharges() {
  if (!handler_) return;
  CChargeAndLogHandler& h = *handler_;
  Apply();
  const int filter = Filter();
  chargedlg::ReportLines& lines = list_->BeginFill();
  lines.SetCapacity(limit_);
  int read = 0, listed = 0;
  for (std::string l = h.GetFirstReportLine(kLineKind, filter); !l.empty(); l = h.GetNextReportLine(kLineKind, filter)) {
    ++read;
    if (!Add(lines, l)) break;
    ++listed;
  }
  list_->EndFill();
  SetItemText(IDC_PERIOD, h.GetSummaryText(3, 1));
  SetItemText(IDC_EXTENSIONS, h.GetSummaryText(2, 1));
  SetItemText(IDC_SUM, h.GetSummaryText(6, 1));
  ShowCounts(read, listed);
}

void CCallEvaluationDlg::ShowCounts(int read, int listed) {
  if (handler_) SetItemText(IDC_READ_TIME, handler_->GetReadOutTimeText(1));
  auto count = [this](int control, int entry, const char* fallback, int n) {
    const std::string label = plat::GetTextOr(plat::TextId(kGroup, entry), fallback);
    SetItemText(control, plat::StrFormatC("%s %i", label.c_str(), n));
  };
  count(IDC_READ, 38, "Ins:", read);
  count(IDC_LISTED, 39, "Sel:", listed);
  count(IDC_TOTAL, 40, "Ttl:", handler_ ? static_cast<int>(handler_->RecordCount()) : 0);
}

void CCallEvaluationDlg::OnChargeNotify(int code, const ChargeNotice& notice) {
  switch (code) {
    case chargecode::kAdded:
      handler_ = notice.handler;
      break;
    case chargecode::kRecordsDone:
      // Once per read-out; posted, the handler is still in its dispatch.
      if (IsCreated() && !refillPosted_) {
        refillPosted_ = true;
        Defer(kRefill);
      }
      break;
    case chargecode::kNoRecords:
      if (IsCreated()) Defer(kBox, 43);
      break;
    case chargecode::kFailed:
      if (IsCreated()) Defer(kBox, 42);
      break;
    case chargecode::kStatus:
      // Comes at every step of a read-out: the status only, never a refill.
      if (IsCreated()) SetItemText(IDC_STATUS, "");
      break;
    default:
      break;
  }
}

bool CCallEvaluationDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id >= IDC_FILTER && id < IDC_FILTER + kFilters) {
    Fill();
    return true;
  }
  switch (id) {
    case IDC_REFRESH:
      Fill();
      return true;
    case IDC_PARAMETERS:
      if (handler_) Defer(kSelect);
      return true;
    case IDC_READ_OUT:
      if (handler_) handler_->StartAllRecordsReadOut();
      return true;
    case IDC_PRINT:
      if (printer_) Defer(kPrint);
      return true;
    case IDC_SAVE:
      Defer(kSave);
      return true;
    case IDC_LOAD:
      if (records_) Defer(kLoad);
      return true;
    default:
      return false;
  }
}

void CCallEvaluationDlg::OnDeferred(int action, std::int64_t arg) {
  switch (action) {
    case kBox:
      Box(plat::TextId(kGroup, static_cast<int>(arg)), plat::MB_OK | plat::MB_ICONINFORMATION);
      break;
    case kRefill:
      refillPosted_ = false;
      // A read-out has written the PBX's list anew.
      if (source_ == kServiceFile && records_) records_->OpenForReading(0);
      Fill();
      break;
    case kSelect:
      if (selection_.DoModal(Id()) == plat::IDOK) Fill();
      break;
    case kPrint:
      Print();
      break;
    case kSave:
      Save();
      break;
    case kLoad:
      Load();
      break;
    default:
      break;
  }
}

void CCallEvaluationDlg::Print() {
  if (source_ == kChargeFile && !handler_) return;
  chargedlg::PrintJob job(*printer_, kDocument, Id());
  if (!job.Open()) return;
  const int filter = Filter();
  job.Begin();
  if (source_ == kChargeFile) {
    CChargeAndLogHandler& h = *handler_;
    job.Text(MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, h.GetSummaryText(1, 2));
    job.LaTeX("\\rm{14pt}");
    job.LaTeX("\\bf");
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(1, 2));
    job.LaTeX("\\rm");
    job.LaTeX("\\vspace{4mm}");
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(2, 2));
    const std::int32_t mode = filter;
    h.SetParameter(kModeParameter, &mode);
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(3, 2));
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(7, 2));
    job.LaTeX("\\vspace{4mm}");
    job.Text(MARPL_CMD_BEGIN_TABLE, MARPL_SUB_HEADER_FROM_FORMAT,
             "r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999.99 DM}");
    job.Text(MARPL_CMD_TABLE_HEADER, MARPL_SUB_HEADER_READ, "Datum\tZeit\tDauer\tAnrufer\tGerufener\tPreis");
    job.Plain(MARPL_CMD_TABLE_LINE);
    // The rows as the list shows them: this filter, the dialog's pattern.
    Apply();
    const std::string pattern = GetItemText(IDC_PATTERN);
    const bool takesPattern = TakenColumns(filter) & (1 << kPatternColumn);
    for (std::string l = h.GetFirstReportLine(kPrintKind, filter, takesPattern ? pattern.c_str() : nullptr);
         !l.empty(); l = h.GetNextReportLine(kPrintKind, filter))
      job.Row(l);
    job.Plain(MARPL_CMD_TABLE_LINE);
    job.Plain(MARPL_CMD_TABLE_LINE);
    job.LaTeX("\\vspace{4mm}");
    job.LaTeX("\\bf");
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, h.GetSummaryText(6, 2));
  } else {
    job.Text(MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, T(2));
    job.LaTeX("\\rm{14pt}");
    job.LaTeX("\\bf");
    job.Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, T(1));
    job.LaTeX("\\rm");
    job.LaTeX("\\vspace{4mm}");
    job.LaTeX("\\vspace{4mm}");
    job.Text(MARPL_CMD_BEGIN_TABLE, MARPL_SUB_HEADER_FROM_FORMAT,
             "r{1444},r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999}");
    job.Text(MARPL_CMD_TABLE_HEADER, MARPL_SUB_HEADER_READ, "Index\tDatum\tZeit\tDauer\tAnrufer\tGerufener\tEinheiten");
    job.Plain(MARPL_CMD_TABLE_LINE);
    const chargedlg::ReportLines& lines = Lines();
    for (std::size_t i = 0; i < lines.Count(); ++i) job.Row(std::string(lines.Line(i)));
  }
  job.End();
}

void CCallEvaluationDlg::Save() {
  plat::FileDialogRequest r;
  r.save = true;
  r.title = T(44);
  std::string path;
  if (source_ == kServiceFile) {
    if (!records_) return;
    r.fileName = "DEFAULT.PLE";
    r.defaultSuffix = "PLE";
    r.filters = {{T(45), "*.PLE"}};
    if (!plat::RunFileDialog(Id(), r, &path)) return;
    if (records_->CopyTo(path) != 1) Box(plat::TextId(kGroup, 47), plat::MB_OK | plat::MB_ICONERROR);
    return;
  }
  if (!handler_) return;
  r.fileName = "DEFAULT.CRP";
  r.defaultSuffix = "CRP";
  r.filters = {{T(46), "*.CRP;*.clh"}};
  if (!plat::RunFileDialog(Id(), r, &path)) return;
  CChargeAndLogHandler& h = *handler_;
  Apply();
  const int filter = Filter();
  const std::int32_t on = 1, off = 0;
  h.SetParameter(kCopyMatchesParameter, &on);
  bool ok;
  if (EndsWithClh(path) && !h.SelectionFileOpen()) {
    ok = false;  // nothing to copy: not "saved"
  } else if (EndsWithClh(path)) {
    // The selection file holds what the last pass copied: fill it with
    // this filter's matches before it is copied.
    for (std::string l = h.GetFirstReportLine(kLineKind, filter); !l.empty(); l = h.GetNextReportLine(kLineKind, filter)) {
    }
    h.SetParameter(kCopyMatchesParameter, &off);
    ok = h.SaveReport(1, path.c_str(), filter) == 0;
  } else {
    ok = h.SaveReport(0, path.c_str(), filter) == 1;
  }
  h.SetParameter(kCopyMatchesParameter, &off);
  // Back to what the handler had at opening; the dialog's switches are
  // applied again before the next listing.
  if (haveSaved_) PutBack();
  if (!ok) Box(plat::TextId(kGroup, 47), plat::MB_OK | plat::MB_ICONERROR);
}

void CCallEvaluationDlg::Load() {
  plat::FileDialogRequest r;
  r.title = T(49);
  r.fileName = "DEFAULT.PLE";
  r.defaultSuffix = "PLE";
  r.filters = {{T(45), "*.PLE"}};
  std::string path;
  if (!plat::RunFileDialog(Id(), r, &path)) return;
  if (records_->OpenExisting(path) != 1) {
    Box(plat::TextId(kGroup, 48), plat::MB_OK | plat::MB_ICONERROR);
    return;
  }
  source_ = kServiceFile;
  SetRadioIndex(IDC_FILTER, 1);
  Fill();
}
