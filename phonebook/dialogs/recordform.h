// The field controls that the database window and the record views share:
// a record into them, their texts back into a record.
#pragma once
#include "phonebook/dialogs/pbrecord.h"
#include "platform/dialogkit/dialog.h"

namespace pb::form {

enum : int {
  IDC_FIELD0 = 1300,  // field n's control is IDC_FIELD0 + n (1 to 12)
  IDC_EXTERNAL = 1313,
  IDC_NORMAL = 1314,  // the four treatments: 1314 to 1317
  IDC_TREATMENT_NOTE = 1318,
  IDC_DELETED = 1319,
};

// Fills the title box with its choices (texts given by the dialog).
void FillTitles(plat::Dialog& d, int firstText, int group);
void Show(plat::Dialog& d, const PbRecord& r);
// Texts, flag and treatment into r; the number is normalised.
void Take(plat::Dialog& d, PbRecord& r);
void Enable(plat::Dialog& d, bool editable);

}  // namespace pb::form
