#include "phonebook/dialogs/recordform.h"

#include "platform/textid.h"

namespace pb::form {

void FillTitles(plat::Dialog& d, int firstText, int group) {
  d.ResetContent(IDC_FIELD0 + kTitle);
  for (int e = firstText; e < firstText + 4; ++e) {
    const char* t = plat::GetText(plat::TextId(group, e));
    if (t && *t) d.AddString(IDC_FIELD0 + kTitle, t);
  }
}

void Show(plat::Dialog& d, const PbRecord& r) {
  for (int id = kCompany; id <= kNote; ++id) d.SetItemText(IDC_FIELD0 + id, r.Get(id));
  d.CheckButton(IDC_EXTERNAL, r.external ? 1 : 0);
  d.SetRadioIndex(IDC_NORMAL, r.treatment);
  d.ShowItem(IDC_TREATMENT_NOTE, r.treatment != 0);
  d.ShowItem(IDC_DELETED, !r.inUse);
}

void Take(plat::Dialog& d, PbRecord& r) {
  for (int id = kCompany; id <= kNote; ++id) r.Set(id, d.GetItemText(IDC_FIELD0 + id));
  r.external = d.IsChecked(IDC_EXTERNAL) != 0;
  const int t = d.GetRadioIndex(IDC_NORMAL);
  r.treatment = t < 0 ? 0 : t;
  NormaliseNumber(r);
}

void Enable(plat::Dialog& d, bool editable) {
  for (int id = kCompany; id <= kNote; ++id) d.EnableItem(IDC_FIELD0 + id, editable);
  d.EnableItem(IDC_EXTERNAL, editable);
  for (int i = 0; i < 4; ++i) d.EnableItem(IDC_NORMAL + i, editable);
}

}  // namespace pb::form
