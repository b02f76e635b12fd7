#include "phonebook/dialogs/importdlg.h"

#include "phonebook/dialogs/busycursor.h"
#include "platform/filedlg.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace pb {

namespace {

enum : plat::UINT {
  kDoBrowse = plat::WM_USER + 831,
  kDoLink,
  kDoImport,
  kDoCannotRead,
};

// Appends of one import are synced together.
constexpr long kBatch = 256;

std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }

const char kSeparators[] = {'\t', ',', ';'};

std::string PreviewTemplate() {
  return T(plat::TextId(10, 15)) + "\t\t%c\r\n" + T(plat::TextId(10, 16)) + " \t\t%t\r\n" + T(plat::TextId(10, 17)) +
         "\t%k %n\r\n" + T(plat::TextId(10, 18)) + "\t\t%i";
}

int Ask(BusyCursor& busy, plat::WindowId owner, const std::string& text, plat::UINT flags) {
  BusyCursor::Suspend pause(busy);
  return plat::MessageBox(owner, text, T(plat::TextId(10, 0)), flags);
}

std::string Statistics(const ImportStats& s) {
  std::string text;
  if (s.imported <= 1)
    text = plat::StrFormatC("%s %li %s", T(plat::TextId(10, s.imported == 0 ? 25 : 26)).c_str(), s.notImported,
                            T(plat::TextId(10, 27)).c_str());
  else
    text = plat::StrFormatC("%s %li %s %li %s", T(plat::TextId(10, 30)).c_str(), s.imported,
                            T(plat::TextId(10, 31)).c_str(), s.notImported, T(plat::TextId(10, 27)).c_str());
  if (s.missingColumns > 0)
    text += plat::StrFormatC("\r\n%s %li", T(plat::TextId(10, 35)).c_str(), s.missingColumns);
  if (s.failed) text += "\r\n" + T(plat::TextId(10, 36));
  return text;
}

}  // namespace

ImportStats RunImport(plat::WindowId owner, IPhoneBookStore& store, CDataBaseImportFileChecker& file,
                      const ImportOptions& options) {
  ImportStats stats;
  if (!file.IsOpen()) return stats;
  BusyCursor busy;
  file.ReadLine(2);
  if (options.skipFirstLine) file.ReadLine(0);
  const long missingBefore = file.MissingColumns();
  const std::string previewTpl = PreviewTemplate();
  bool preview = options.preview;
  bool columnsReported = false;
  bool refusalReported = false;
  long unsynced = 0;
  while (file.ReadLine(0) == 1) {
    PbRecord r;
    const long missing = file.MissingColumns();
    bool refused = false;
    int lacking = -1;
    for (int i = 0; i < file.GetLinkCount(); ++i) {
      const int field = file.GetLink(i, 1);
      const int column = file.GetLink(i, 0);
      if (lacking < 0 && column >= static_cast<int>(file.Columns().size())) lacking = column;
      std::string text = file.GetColumn(column, 0);
      // A quoted line break stays one only in the note.
      if (field != kNote) text = FlattenBreaks(text, false);
      if (!r.Set(field, text)) refused = true;
    }
    if (file.MissingColumns() > missing && !columnsReported) {
      columnsReported = true;
      Ask(busy, owner,
          plat::StrFormatC("%s %i %s %li %s", T(plat::TextId(50, 0)).c_str(), lacking + 1,
                           T(plat::TextId(50, 1)).c_str(), static_cast<long>(file.Columns().size()),
                           T(plat::TextId(50, 2)).c_str()),
          plat::MB_OK | plat::MB_ICONWARNING);
    }
    if (refused && !refusalReported) {
      refusalReported = true;
      Ask(busy, owner, T(plat::TextId(10, 19)), plat::MB_OK | plat::MB_ICONWARNING);
    }
    const std::string shown = Render(r, previewTpl);
    bool wanted = true;
    if (preview) {
      const int answer = Ask(busy, owner, shown, plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION);
      if (answer == plat::IDNO) wanted = false;
      if (answer == plat::IDCANCEL) preview = false;
    }
    NormaliseNumber(r);
    const std::string& number = r.text[kNumber];
    if (wanted && !HasNonZeroLeadingDigits(number)) {
      if (options.validNumbersOnly) wanted = false;
      if (options.reportMissing)
        Ask(busy, owner,
            plat::StrFormatC("%s %ld: \r\n\r\n%s\r\n\r\n %s", T(plat::TextId(10, 22)).c_str(),
                             static_cast<long>(file.PhysicalLine()), shown.c_str(), T(plat::TextId(10, 20)).c_str()),
            plat::MB_OK | plat::MB_ICONWARNING);
    }
    // Records without a number are no duplicates of each other.
    if (wanted && options.checkDuplicates && !number.empty() && store.HasNumber(number)) {
      wanted = false;
      if (options.reportDuplicate)
        Ask(busy, owner,
            plat::StrFormatC("%s %s %s", T(plat::TextId(10, 23)).c_str(), number.c_str(), T(plat::TextId(10, 24)).c_str()),
            plat::MB_OK | plat::MB_ICONINFORMATION);
    }
    if (!wanted) {
      ++stats.notImported;
      continue;
    }
    if (!store.Save(r, false)) {
      stats.failed = true;
      ++stats.notImported;
      break;
    }
    ++stats.imported;
    if (++unsynced >= kBatch) {
      if (!store.Sync()) {
        stats.failed = true;
        break;
      }
      unsynced = 0;
    }
  }
  // The lines a failure left unread are not imported either.
  if (stats.failed)
    while (file.ReadLine(0) == 1) ++stats.notImported;
  // Also after a failed write: the batch ends, and with it the deferred
  // syncs of every later append.
  if ((unsynced > 0 || stats.failed) && !store.Sync()) stats.failed = true;
  stats.notImported += file.SkippedLines();
  stats.missingColumns = file.MissingColumns() - missingBefore;
  if (options.statistics || stats.failed)
    Ask(busy, owner, Statistics(stats), plat::MB_OK | (stats.failed ? plat::MB_ICONERROR : plat::MB_ICONINFORMATION));
  return stats;
}

// ------------------------------------------------------------------ links

CLinkFieldsDlg::CLinkFieldsDlg(std::string path, CDataBaseImportFileChecker& file)
    : Dialog(plat::dlg::kProgram, kResourceId), path_(std::move(path)), file_(file) {}

bool CLinkFieldsDlg::OnInitDialog() {
  CheckButton(IDC_CHECK_NUMBERS, checkNumbers ? 1 : 0);
  CheckButton(IDC_SKIP_FIRST, skipFirstLine ? 1 : 0);
  if (!file_.OpenFile(path_) || !file_.Scan()) {
    SetItemText(IDC_COLUMN_COUNT, "0");
    SetItemText(IDC_LINE_COUNT, "0");
    plat::PostMessage(Id(), kDoCannotRead);
    UpdateButtons();
    return true;
  }
  SetItemText(IDC_COLUMN_COUNT, std::to_string(file_.GetColumnCount()));
  SetItemText(IDC_LINE_COUNT, std::to_string(file_.GetLineCount()));
  file_.ReadLine(1);
  for (int c = 0; c < file_.GetColumnCount(); ++c) {
    std::string text = FlattenBreaks(file_.GetColumn(c, 0), true);
    if (text.empty()) text = T(plat::TextId(13, 12));
    const int i = AddString(IDC_COLUMNS, text);
    if (i >= 0) SetItemData(IDC_COLUMNS, i, c);
  }
  FillFields();
  for (int i = 0; i < file_.GetLinkCount(); ++i) {
    const int k = AddString(IDC_LINKED, FlattenBreaks(file_.GetLinkText(i, " - "), true));
    if (k >= 0) SetItemData(IDC_LINKED, k, file_.GetLink(i, 1));
  }
  UpdateButtons();
  return true;
}

void CLinkFieldsDlg::FillFields() {
  ResetContent(IDC_FIELDS);
  for (int id = kFirstField; id <= kLastField; ++id) {
    if (file_.FindLink(id, 1) >= 0) continue;
    const int i = AddString(IDC_FIELDS, FieldName(id));
    if (i >= 0) SetItemData(IDC_FIELDS, i, id);
  }
}

void CLinkFieldsDlg::UpdateButtons() {
  EnableItem(IDC_LINK, GetCurSel(IDC_COLUMNS) >= 0 && GetCurSel(IDC_FIELDS) >= 0);
  EnableItem(IDC_UNLINK, GetCurSel(IDC_LINKED) >= 0);
}

void CLinkFieldsDlg::Link() {
  const int c = GetCurSel(IDC_COLUMNS);
  const int f = GetCurSel(IDC_FIELDS);
  if (c < 0 || f < 0) return;
  const int column = static_cast<int>(GetItemData(IDC_COLUMNS, c));
  const int field = static_cast<int>(GetItemData(IDC_FIELDS, f));
  if (file_.AddLink(column, field) < 0) return;
  // The column had another field before: that one is free again.
  FillFields();
  ResetContent(IDC_LINKED);
  for (int i = 0; i < file_.GetLinkCount(); ++i) {
    const int k = AddString(IDC_LINKED, FlattenBreaks(file_.GetLinkText(i, " - "), true));
    if (k >= 0) SetItemData(IDC_LINKED, k, file_.GetLink(i, 1));
  }
  UpdateButtons();
}

void CLinkFieldsDlg::Unlink() {
  const int sel = GetCurSel(IDC_LINKED);
  if (sel < 0) return;
  const int field = static_cast<int>(GetItemData(IDC_LINKED, sel));
  file_.RemoveLink(field);
  DeleteString(IDC_LINKED, sel);
  FillFields();
  UpdateButtons();
}

bool CLinkFieldsDlg::OnCommand(int id, plat::Notify code) {
  switch (id) {
    case IDC_COLUMNS: case IDC_FIELDS: case IDC_LINKED:
      UpdateButtons();
      return true;
    case IDC_LINK:
      if (code == plat::Notify::Clicked) Link();
      return true;
    case IDC_UNLINK:
      if (code == plat::Notify::Clicked) Unlink();
      return true;
    default:
      return false;
  }
}

plat::LRESULT CLinkFieldsDlg::OnWindowMessage(const plat::Message& m) {
  if (m.msg == kDoCannotRead && IsCreated())
    plat::MessageBox(Id(), T(plat::TextId(13, 13)), GetWindowText(), plat::MB_OK | plat::MB_ICONERROR);
  return 0;
}

void CLinkFieldsDlg::OnOK() {
  checkNumbers = IsChecked(IDC_CHECK_NUMBERS) != 0;
  skipFirstLine = IsChecked(IDC_SKIP_FIRST) != 0;
  EndDialog(plat::IDOK);
}

// ----------------------------------------------------------------- import

CImportDlg::CImportDlg(IPhoneBookStore& store) : Dialog(plat::dlg::kProgram, kResourceId), store_(store) {}

bool CImportDlg::OnInitDialog() {
  AddString(IDC_SEPARATOR, plat::GetTextOr(plat::TextId(10, 32), "Tabulator-Trennung"));
  AddString(IDC_SEPARATOR, plat::GetTextOr(plat::TextId(10, 33), "Komma-Trennung (,)"));
  AddString(IDC_SEPARATOR, plat::GetTextOr(plat::TextId(10, 34), "Semicolon-Trennung (;)"));
  SetCurSel(IDC_SEPARATOR, 0);
  SetItemText(IDC_PATH, path);
  CheckButton(IDC_PREVIEW, options.preview);
  CheckButton(IDC_VALID_ONLY, options.validNumbersOnly);
  CheckButton(IDC_REPORT_MISSING, options.reportMissing);
  CheckButton(IDC_REPORT_DUPLICATE, options.reportDuplicate);
  CheckButton(IDC_STATISTICS, options.statistics);
  EnableItem(plat::IDOK, linked);
  return true;
}

void CImportDlg::ReadOptions() {
  options.preview = IsChecked(IDC_PREVIEW) != 0;
  options.validNumbersOnly = IsChecked(IDC_VALID_ONLY) != 0;
  options.reportMissing = IsChecked(IDC_REPORT_MISSING) != 0;
  options.reportDuplicate = IsChecked(IDC_REPORT_DUPLICATE) != 0;
  options.statistics = IsChecked(IDC_STATISTICS) != 0;
}

void CImportDlg::Browse() {
  plat::FileDialogRequest req;
  req.title = T(plat::TextId(10, 28));
  req.filters.emplace_back(T(plat::TextId(10, 29)), "*.TXT;*.csv");
  std::string chosen;
  if (!plat::RunFileDialog(Id(), req, &chosen) || !IsCreated()) return;
  path = chosen;
  SetItemText(IDC_PATH, path);
  file_.ClearLinks();
  linked = false;
  EnableItem(plat::IDOK, false);
}

void CImportDlg::OpenLinks() {
  const int sel = GetCurSel(IDC_SEPARATOR);
  file_.SetSeparator(kSeparators[sel >= 0 && sel < 3 ? sel : 0]);
  CLinkFieldsDlg dlg(path, file_);
  dlg.checkNumbers = options.checkDuplicates;
  dlg.skipFirstLine = options.skipFirstLine;
  if (dlg.DoModal(Id()) != plat::IDOK || !IsCreated()) return;
  options.checkDuplicates = dlg.checkNumbers;
  options.skipFirstLine = dlg.skipFirstLine;
  linked = file_.IsOpen() && file_.GetLinkCount() > 0;
  EnableItem(plat::IDOK, linked);
}

bool CImportDlg::OnCommand(int id, plat::Notify code) {
  switch (id) {
    case IDC_SEPARATOR:
      // Links name columns of one separator.
      if (code == plat::Notify::SelChange && linked) {
        file_.ClearLinks();
        linked = false;
        EnableItem(plat::IDOK, false);
      }
      return true;
    case IDC_BROWSE:
      if (code == plat::Notify::Clicked) plat::PostMessage(Id(), kDoBrowse);
      return true;
    case IDC_LINK:
      if (code == plat::Notify::Clicked) plat::PostMessage(Id(), kDoLink);
      return true;
    default:
      return false;
  }
}

void CImportDlg::OnOK() {
  if (linked) plat::PostMessage(Id(), kDoImport);
}

plat::LRESULT CImportDlg::OnWindowMessage(const plat::Message& m) {
  if (!IsCreated()) return 0;
  switch (m.msg) {
    case kDoBrowse: Browse(); break;
    case kDoLink: OpenLinks(); break;
    case kDoImport:
      if (!linked) break;
      ReadOptions();
      stats = RunImport(Id(), store_, file_, options);
      file_.CloseFile();
      EndDialog(plat::IDOK);
      break;
    default: break;
  }
  return 0;
}

}  // namespace pb
