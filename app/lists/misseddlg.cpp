#include "app/lists/misseddlg.h"

#include <algorithm>

#include "app/lists/missedcalls.h"
#include "core/base/globalconfig.h"
#include "platform/msgbox.h"

namespace {
enum Action { kCallBack, kToCallbackList, kToPhoneBook };
}

// ---------------------------------------------------------------- 160

CMissedCallDlg::CMissedCallDlg(CMissedCallList* list) : CListDialog(plat::dlg::kProgram, kResourceId), list_(list) {}

bool CMissedCallDlg::OnInitDialog() {
  Refresh();
  return true;
}

void CMissedCallDlg::Refresh() {
  if (!IsCreated()) return;
  ResetContent(IDC_LIST);
  if (list_) {
    const bool newestFirst = GlobalConfig().NPLSOSEQ == 1;
    for (const std::string& text : list_->Texts()) {
      if (newestFirst) InsertString(IDC_LIST, 0, text);
      else AddString(IDC_LIST, text);
    }
  }
  ShowItem(IDC_NOTE, list_ && !list_->GetTitle().empty());
}

std::string CMissedCallDlg::SelectedText() const {
  int sel = GetCurSel(IDC_LIST);
  return sel < 0 ? std::string() : GetLBText(IDC_LIST, sel);
}

bool CMissedCallDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_CALL:
    case IDC_TOCALLBACK:
    case IDC_DATABASE:
      if (list_ && !SelectedText().empty())
        Defer(id == IDC_CALL ? kCallBack : id == IDC_TOCALLBACK ? kToCallbackList : kToPhoneBook);
      return true;
    case IDC_CLEAR:
      if (list_) list_->RemoveAll();
      ResetContent(IDC_LIST);
      return true;
    default:
      return false;
  }
}

void CMissedCallDlg::OnDeferred(int action, std::int64_t) {
  const std::string text = SelectedText();
  if (!list_ || text.empty()) return;
  switch (action) {
    case kCallBack:
      if (list_->Act(CMissedCallList::kCallBack, text) == 1) EndDialog(plat::IDOK);
      else Box(plat::TextId(23, 13), plat::MB_OK | plat::MB_ICONWARNING);
      break;
    case kToCallbackList:
      list_->Act(CMissedCallList::kToCallbackList, text);
      break;
    case kToPhoneBook:
      list_->Act(CMissedCallList::kToPhoneBook, text);
      break;
    default:
      break;
  }
}

int RunMissedCallDlg(CMissedCallList* list, plat::WindowId owner, CMissedCallDlg** opened) {
  CMissedCallDlg dlg(list);
  if (opened) *opened = &dlg;
  int r = dlg.DoModal(owner);
  if (opened) *opened = nullptr;
  return r;
}

// ---------------------------------------------------------------- 170

CMissedCallSetupDlg::CMissedCallSetupDlg(CGlobalConfig& cfg) : CListDialog(plat::dlg::kProgram, kResourceId), cfg_(cfg) {}

bool CMissedCallSetupDlg::OnInitDialog() {
  // Radio 0 of each pair is the value 0, as the settings store it.
  SetRadioIndex(IDC_KNOWNONLY, cfg_.NPLTO == 0 ? 0 : 1);
  SetRadioIndex(IDC_SINCELAST, cfg_.NPLCDOC == 0 ? 0 : 1);
  SetRadioIndex(IDC_OLDESTFIRST, cfg_.NPLSOSEQ == 1 ? 1 : 0);
  CheckButton(IDC_READATSTART, cfg_.NPLROOBOF == 1);
  CheckButton(IDC_ALWAYSLOOKUP, cfg_.NPLLAIDB == 1);
  return true;
}

void CMissedCallSetupDlg::OnOK() {
  cfg_.NPLTO = std::max(0, GetRadioIndex(IDC_KNOWNONLY));
  cfg_.NPLCDOC = std::max(0, GetRadioIndex(IDC_SINCELAST));
  cfg_.NPLSOSEQ = std::max(0, GetRadioIndex(IDC_OLDESTFIRST));
  cfg_.NPLROOBOF = IsChecked(IDC_READATSTART);
  cfg_.NPLLAIDB = IsChecked(IDC_ALWAYSLOOKUP);
  EndDialog(plat::IDOK);
}

int RunMissedCallSetupDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  CMissedCallSetupDlg dlg(cfg);
  return dlg.DoModal(owner);
}
