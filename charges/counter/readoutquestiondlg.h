// Dialog 226 "Frage": which call records to read out of the PBX (all, only
// the new ones, none) and whether the PBX's records are to be deleted
// afterwards. The caller fills the texts and the preset, runs it modally
// and reads the answer.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

class CReadOutQuestionDlg : public plat::Dialog {
 public:
  enum : int {
    IDD = 226,
    IDC_LASTREADOUT = 1708, IDC_OLDLABEL = 1709, IDC_NEWLABEL = 1710, IDC_OLDVALUE = 1711, IDC_NEWVALUE = 1712,
    IDC_QUESTION = 1713, IDC_ALL = 1714, IDC_NEWONLY = 1715, IDC_NONE = 1716, IDC_DELETE = 1717,
  };
  enum : int { kNoChoice = -1, kAll = 0, kNewOnly = 1, kNone = 2 };

  CReadOutQuestionDlg();

  // -1 is refused (0) and leaves the choice; any other value is kept (1).
  int SetChoice(int choice);
  int GetChoice() const { return choice_; }
  // 0 when nothing or "none" is chosen, else the check box.
  int GetDeleteAfterwards() const;
  void SetDeleteAfterwards(int value) { deleteAfterwards_ = value ? 1 : 0; }

  // Shown as set; an empty one shows the resource's text.
  std::string lastReadOut, oldLabel, oldValue, newLabel, newValue;
  // The caller's own mark; the dialog does not read it.
  int marker = 0;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;

 private:
  void Show(int id, const std::string& text);

  int choice_ = kNoChoice;
  int deleteAfterwards_ = 0;
};
