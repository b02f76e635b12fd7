// The search dialog (169, modal): a field by its name, the content, where
// to stop and whether case counts. The database window runs the search.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

namespace pb {

class CSearchDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 169;
  enum : int { IDC_FIELD = 1216, IDC_CONTENT = 1217, IDC_FIRST_MATCH = 1219, IDC_LAST_RECORD = 1220, IDC_MATCH_CASE = 1221 };

  CSearchDlg();

  // The answer after OK.
  std::string fieldName;
  std::string content;
  int stopOption = 0;  // 0 at the first match, 1 on to the last record
  bool matchCase = false;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  // Kept with the dialog, shown by none.
  std::string keptTexts_[2];
};

}  // namespace pb
