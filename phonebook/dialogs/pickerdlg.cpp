#include "phonebook/dialogs/pickerdlg.h"

#include "phonebook/dialogs/busycursor.h"

namespace pb {

CPhoneBookDlg::CPhoneBookDlg(IPhoneBookStore& store) : Dialog(plat::dlg::kProgram, kResourceId), store_(store) {}

void CPhoneBookDlg::Lines(IPhoneBookStore& store, std::vector<std::string>* lines, std::vector<std::int64_t>* offsets) {
  const std::uint32_t count = store.RecordCount();
  lines->clear();
  offsets->clear();
  lines->reserve(count);
  offsets->reserve(count);
  PbRecord flat;
  store.ForEach([&](const PbRecord& r) {
    if (!r.inUse) return true;
    // A TAB or a break inside a field would shift the columns.
    for (int id : {kCompany, kTitle, kName, kNumber})
      flat.text[static_cast<std::size_t>(id)] = FlattenBreaks(r.text[static_cast<std::size_t>(id)], true);
    lines->push_back(Render(flat, kLineTemplate));
    offsets->push_back(r.offset);
    return true;
  });
}

bool CPhoneBookDlg::OnInitDialog() {
  chosen = false;
  std::vector<std::string> lines;
  {
    BusyCursor busy;
    Lines(store_, &lines, &offsets_);
    for (std::size_t i = 0; i < lines.size(); ++i) AddString(IDC_LIST, lines[i]);
  }
  return true;
}

bool CPhoneBookDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_LIST && code == plat::Notify::DoubleClicked) {
    OnOK();
    return true;
  }
  return false;
}

void CPhoneBookDlg::OnOK() {
  const int sel = GetCurSel(IDC_LIST);
  if (sel >= 0 && static_cast<std::size_t>(sel) < offsets_.size()) {
    PbRecord r;
    if (store_.ReadAt(offsets_[static_cast<std::size_t>(sel)], &r)) {
      record = r;
      line = GetLBText(IDC_LIST, sel);
      chosen = true;
    }
  }
  EndDialog(plat::IDOK);
}

bool CPhoneBookPicker::Pick(plat::WindowId owner, PickedRecord* out) {
  CPhoneBookDlg dlg(store_);
  if (dlg.DoModal(owner) != plat::IDOK || !dlg.chosen || !out) return false;
  out->offset = dlg.record.offset;
  out->company = dlg.record.text[kCompany];
  out->name = dlg.record.text[kName];
  out->title = dlg.record.text[kTitle];
  out->number = dlg.record.text[kNumber];
  return true;
}

}  // namespace pb
