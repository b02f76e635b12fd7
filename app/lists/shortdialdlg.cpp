#include "app/lists/shortdialdlg.h"

#include "core/base/listsupport.h"
#include "core/base/globallog.h"
#include "core/monitor/monitortable.h"
#include "core/winpos/titelinfo.h"
#include "phonebook/iface/picker.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace {

enum Action { kMissingFields, kPickRecord, kPickExtension, kNoStore, kEdit };

ExtensionChooser& ChooserSlot() {
  static ExtensionChooser chooser = nullptr;
  return chooser;
}

}  // namespace

void SetExtensionChooser(ExtensionChooser chooser) { ChooserSlot() = chooser; }

// ---------------------------------------------------------------- 107

CShortDialEditDlg::CShortDialEditDlg(int n, const ShortDialEntry& entry, CMonitorTable* monitors)
    : CListDialog(plat::dlg::kProgram, kResourceId), n_(n), entry_(entry), monitors_(monitors) {}

std::string CShortDialEditDlg::BuildEntryText(const std::string& company, bool useCompany,
                                              const std::string& salutation, bool useSalutation,
                                              const std::string& name) {
  std::string text;
  auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ' ';
    text += part;
  };
  if (useCompany) add(company);
  if (useSalutation) add(salutation);
  add(name);
  return text;
}

bool CShortDialEditDlg::OnInitDialog() {
  // The caption of the language file (36/0), else the template's.
  SetWindowText(plat::StrFormatC("%s - M%2i", GetWindowText().c_str(), n_));
  CTitelInfo titles;
  for (int i = 0; i < titles.GetCount(); ++i) AddString(IDC_SALUTATION, titles.GetTitle(i));
  LimitText(IDC_SALUTATION, ShortDialEntry::kTextSize - 1);
  ShowEntry();
  SetItemText(IDC_ENTRYTEXT, entry_.entryText);
  EnableItem(IDC_EXTENSION, monitors_ && ChooserSlot());
  return true;
}

void CShortDialEditDlg::ShowEntry() {
  SetItemText(IDC_COMPANY, entry_.company);
  SetItemText(IDC_SALUTATION, entry_.salutation);
  SetItemText(IDC_NAME, entry_.name);
  SetItemText(IDC_NUMBER, entry_.number);
  CheckButton(IDC_EXTERNAL, entry_.external ? 1 : 0);
}

void CShortDialEditDlg::Rebuild() {
  SetItemText(IDC_ENTRYTEXT, BuildEntryText(GetItemText(IDC_COMPANY), IsChecked(IDC_USECOMPANY),
                                            GetItemText(IDC_SALUTATION), IsChecked(IDC_USESALUTATION),
                                            GetItemText(IDC_NAME)));
}

bool CShortDialEditDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_REBUILD: Rebuild(); return true;
    case IDC_DATABASE: Defer(kPickRecord); return true;
    case IDC_EXTENSION: Defer(kPickExtension); return true;
    default: return false;
  }
}

void CShortDialEditDlg::OnDeferred(int action, std::int64_t) {
  switch (action) {
    case kMissingFields:
      Box(plat::TextId(36, 17), plat::MB_OK | plat::MB_ICONWARNING);
      SetFocusItem(GetItemText(IDC_NAME).empty() ? IDC_NAME : IDC_NUMBER);
      break;
    case kPickRecord: {
      IPhoneBookPicker* picker = CurrentPhoneBookPicker();
      if (!picker) {
        GlobalLog().WriteEntry("Kurzwahl: keine Telefonbuchauswahl vorhanden");
        break;
      }
      PickedRecord r;
      if (!picker->Pick(Id(), &r)) break;
      entry_.FillFromRecord(r);
      ShowEntry();
      break;
    }
    case kPickExtension: {
      ExtensionChooser choose = ChooserSlot();
      CMonitorEntry* e = monitors_ && choose ? choose(*monitors_, Id()) : nullptr;
      if (!e) break;
      entry_.FillFromExtension(*e);
      ShowEntry();
      break;
    }
    default:
      break;
  }
}

void CShortDialEditDlg::OnOK() {
  if (GetItemText(IDC_NAME).empty() || GetItemText(IDC_NUMBER).empty()) {
    Defer(kMissingFields);
    return;
  }
  if (GetItemText(IDC_ENTRYTEXT).empty()) Rebuild();
  ShortDialEntry::Put(entry_.company, GetItemText(IDC_COMPANY));
  ShortDialEntry::Put(entry_.salutation, GetItemText(IDC_SALUTATION));
  ShortDialEntry::Put(entry_.name, GetItemText(IDC_NAME));
  ShortDialEntry::Put(entry_.number, GetItemText(IDC_NUMBER));
  ShortDialEntry::Put(entry_.entryText, GetItemText(IDC_ENTRYTEXT));
  entry_.external = IsChecked(IDC_EXTERNAL) ? 1 : 0;
  entry_.index = n_;
  EndDialog(plat::IDOK);
}

int EditShortDialEntry(CShortDialHandler& store, int n, CMonitorTable* monitors, plat::WindowId owner) {
  const ShortDialEntry* e = store.GetEntry(n);
  if (!e || n < 0 || n >= CShortDialHandler::kEntries) return plat::IDCANCEL;
  CShortDialEditDlg dlg(n, *e, monitors);
  int r = dlg.DoModal(owner);
  if (r == plat::IDOK && store.SetEntry(n, dlg.Entry()) != 0) {
    plat::MessageBox(owner, lists::Text(plat::TextId(36, 18)), lists::Text(plat::TextId(36, 0)),
                     plat::MB_OK | plat::MB_ICONERROR);
    return plat::IDCANCEL;
  }
  return r;
}

// ---------------------------------------------------------------- 163

CShortDialListDlg::CShortDialListDlg(CShortDialHandler* store, CMonitorTable* monitors)
    : CListDialog(plat::dlg::kProgram, kResourceId), store_(store), monitors_(monitors) {}

std::string CShortDialListDlg::LineOf(const CShortDialHandler& store, int n) {
  std::string text = store.GetEntryText(n);
  return text == "*" ? plat::StrFormatC("M %i", n) : text;
}

bool CShortDialListDlg::OnInitDialog() {
  if (!store_) {
    Defer(kNoStore);
    return true;
  }
  for (int n = 1; n <= 12; ++n) AddString(IDC_LIST, LineOf(*store_, n));
  return true;
}

bool CShortDialListDlg::OnCommand(int id, plat::Notify code) {
  if (id != IDC_CHANGE || code != plat::Notify::Clicked) return false;
  int sel = GetCurSel(IDC_LIST);
  // Without a selection there is nothing to change.
  if (store_ && sel >= 0) Defer(kEdit, sel + 1);
  return true;
}

void CShortDialListDlg::OnDeferred(int action, std::int64_t arg) {
  if (action == kNoStore) {
    Box(plat::TextId(32, 4), plat::MB_OK | plat::MB_ICONWARNING);
    return;
  }
  if (action != kEdit || !store_) return;
  const int n = static_cast<int>(arg);
  if (EditShortDialEntry(*store_, n, monitors_, Id()) != plat::IDOK) return;
  DeleteString(IDC_LIST, n - 1);
  InsertString(IDC_LIST, n - 1, LineOf(*store_, n));
  SetCurSel(IDC_LIST, n - 1);
}

int RunShortDialListDlg(CShortDialHandler* store, CMonitorTable* monitors, plat::WindowId owner) {
  CShortDialListDlg dlg(store, monitors);
  return dlg.DoModal(owner);
}
