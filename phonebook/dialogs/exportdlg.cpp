#include "phonebook/dialogs/exportdlg.h"

#include "phonebook/dialogs/busycursor.h"
#include "platform/filedlg.h"
#include "platform/fileio.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace pb {

namespace {

constexpr plat::UINT kDoBrowse = plat::WM_USER + 821;

}  // namespace

CExportDlg::CExportDlg(int captionChoice) : Dialog(plat::dlg::kProgram, kResourceId), captionChoice_(captionChoice) {}

bool CExportDlg::OnInitDialog() {
  SetWindowText(captionChoice_ == 1 ? plat::GetTextOr(plat::TextId(9, 1), "Datensätze exportieren")
                                    : plat::GetTextOr(plat::TextId(9, 0), "Datensätze exportieren"));
  keptTexts_[0] = plat::GetTextOr(plat::TextId(9, 12), "TAB");
  keptTexts_[1] = plat::GetTextOr(plat::TextId(9, 13), "CR + LF");
  AddString(IDC_FIELD_SEP, keptTexts_[0]);
  SetCurSel(IDC_FIELD_SEP, 0);
  AddString(IDC_RECORD_SEP, keptTexts_[1]);
  SetCurSel(IDC_RECORD_SEP, 0);
  // Only fields with a template letter have a text to export.
  for (int id = kCompany; id <= kNote; ++id) {
    const int i = AddString(IDC_FIELDS, FieldName(id));
    if (i >= 0) SetItemData(IDC_FIELDS, i, id);
  }
  SetItemText(IDC_FILE, fileName);
  CheckButton(IDC_NAMES, namesLine ? 1 : 0);
  SetItemText(IDC_LAYOUT, visibleLayout);
  return true;
}

void CExportDlg::Add() {
  const int sel = GetCurSel(IDC_FIELDS);
  if (sel < 0) return;
  const int id = static_cast<int>(GetItemData(IDC_FIELDS, sel));
  const FieldInfo* f = Field(id);
  if (!f || !f->letter) return;
  const bool tplJoin = recordTemplate.empty() || recordTemplate.back() == '\t';
  std::string code = std::string("%") + f->letter;
  if (!tplJoin) code = " " + code;
  if (recordTemplate.size() + code.size() > kMaxTemplate) return;
  recordTemplate += code;
  const std::string name = FieldName(id);
  visibleLayout += (visibleLayout.empty() || visibleLayout.back() == '|') ? name : " " + name;
  SetItemText(IDC_LAYOUT, visibleLayout);
}

void CExportDlg::AddSeparator() {
  if (recordTemplate.size() + 1 > kMaxTemplate) return;
  recordTemplate += '\t';
  visibleLayout += '|';
  SetItemText(IDC_LAYOUT, visibleLayout);
}

void CExportDlg::Browse() {
  plat::FileDialogRequest req;
  req.save = true;
  req.title = plat::GetTextOr(plat::TextId(9, 16), "Exportdatei");
  req.fileName = "EXPORT.TXT";
  req.defaultSuffix = "txt";
  req.filters.emplace_back(plat::GetTextOr(plat::TextId(9, 15), "Textdateien"), "*.TXT");
  std::string path;
  if (plat::RunFileDialog(Id(), req, &path) && IsCreated()) {
    fileName = path;
    SetItemText(IDC_FILE, fileName);
  }
}

bool CExportDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_ADD: Add(); return true;
    case IDC_SEPARATOR: AddSeparator(); return true;
    case IDC_CLEAR:
      recordTemplate.clear();
      visibleLayout.clear();
      SetItemText(IDC_LAYOUT, visibleLayout);
      return true;
    case IDC_BROWSE: plat::PostMessage(Id(), kDoBrowse); return true;
    default: return false;
  }
}

plat::LRESULT CExportDlg::OnWindowMessage(const plat::Message& m) {
  if (m.msg == kDoBrowse && IsCreated()) Browse();
  return 0;
}

void CExportDlg::OnOK() {
  fileName = GetItemText(IDC_FILE);
  namesLine = IsChecked(IDC_NAMES) != 0;
  if (fileName.empty() || fileName.find(' ') != std::string::npos) {
    plat::MessageBox(Id(), plat::GetTextOr(plat::TextId(9, 17), ""), GetWindowText(), plat::MB_OK | plat::MB_ICONWARNING);
    return;
  }
  for (char& c : visibleLayout)
    if (c == '|') c = '\t';
  visibleLayout += "\r\n";
  recordTemplate += "\r\n";
  EndDialog(plat::IDOK);
}

std::string ExportText(IPhoneBookStore& store, const std::string& recordTemplate, const std::string& namesLine) {
  std::string out = namesLine;
  PbRecord flat;
  store.ForEach([&](const PbRecord& r) {
    if (!r.inUse) return true;
    for (int id = kCompany; id <= kNote; ++id)
      flat.text[static_cast<std::size_t>(id)] = FlattenBreaks(r.text[static_cast<std::size_t>(id)], true);
    out += Render(flat, recordTemplate);
    return true;
  });
  return out;
}

ExportResult WriteExport(IPhoneBookStore& store, const std::string& path, const std::string& recordTemplate,
                         const std::string& namesLine) {
  for (const std::string& own : store.OwnFiles())
    if (plat::io::IsFileOrTemporaryOf(path, own)) return ExportResult::kRefused;
  BusyCursor busy;
  const std::string text = ExportText(store, recordTemplate, namesLine);
  const bool ok = plat::io::ReplaceFile(path, text);
  return ok ? ExportResult::kDone : ExportResult::kFailed;
}

}  // namespace pb
