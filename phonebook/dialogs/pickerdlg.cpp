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
  // The line as kLineTemplate renders it; a TAB or a break inside a field
  // would shift the columns.
  constexpr std::uint32_t kFields = FieldBit(kCompany) | FieldBit(kTitle) | FieldBit(kName) | FieldBit(kNumber);
  store.ForEach(
      [&](const PbRecord& r) {
        if (!r.inUse) return true;
        std::string line;
        line.reserve(r.text[kCompany].size() + r.text[kTitle].size() + r.text[kName].size() + r.text[kNumber].size() + 3);
        int column = 0;
        for (int id : {kCompany, kTitle, kName, kNumber}) {
          if (column++) line += '\t';
          AppendFlattened(line, r.text[static_cast<std::size_t>(id)], true);
        }
        lines->push_back(std::move(line));
        offsets->push_back(r.offset);
        return true;
      },
      kFields);
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
