#include "app/lists/callbackdlg.h"

#include <algorithm>
#include <initializer_list>

#include "app/lists/callbacklist.h"
#include "core/base/listsupport.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "phonebook/iface/picker.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace {

enum Action { kBadTime, kBadDate, kNoList, kNoSelection, kChange, kEnter, kPhoneBook, kMissed, kCallData };

const int kIntervals[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15, 20, 25, 30, 40, 50, 60, 90, 120};

// The hour and minute edits of each time-window type: begin, then end.
struct TimeEdits {
  int beginH, beginM, endH, endM;  // 0: none
};
TimeEdits EditsOf(int type) {
  using D = CCallBackSettingsDlg;
  switch (type) {
    case 1: return {D::IDC_FROM_H, D::IDC_FROM_M, 0, 0};
    case 2: return {0, 0, D::IDC_UNTIL_H, D::IDC_UNTIL_M};
    case 3: return {D::IDC_IN_BH, D::IDC_IN_BM, D::IDC_IN_EH, D::IDC_IN_EM};
    case 4: return {D::IDC_OUT_BH, D::IDC_OUT_BM, D::IDC_OUT_EH, D::IDC_OUT_EM};
    case 5: return {D::IDC_AT_H, D::IDC_AT_M, 0, 0};
    default: return {0, 0, 0, 0};
  }
}

bool IsOutgoing(const CCallInfo& c) {
  return c.direction == CCallInfo::kOutgoing || c.direction == CCallInfo::kNoDirection;
}

std::string TodayText() { return plat::GetTextOr(plat::TextId(8, 25), "heute"); }

void ShowTime(plat::Dialog& d, int hoursId, int minutesId, long seconds) {
  if (!hoursId) return;
  d.SetItemText(hoursId, lists::HoursText(seconds));
  d.SetItemText(minutesId, lists::MinutesText(seconds));
}

}  // namespace

// ---------------------------------------------------------------- 124

CCallBackSettingsDlg::CCallBackSettingsDlg(CCallInfo* call)
    : CListDialog(plat::dlg::kProgram, kResourceId), call_(call) {}

bool CCallBackSettingsDlg::OnInitDialog() {
  const CCallInfo& c = *call_;
  const bool out = IsOutgoing(c);
  SetItemText(IDC_COMPANY, out ? c.calledCompany : c.callingCompany);
  SetItemText(IDC_NAME, out ? c.calledName : c.callingName);
  SetItemText(IDC_NUMBER, out ? c.calledNumber : c.callingNumber);
  CheckButton(IDC_EXTERNAL, c.external ? 1 : 0);

  for (int i = 1; i <= 10; ++i) AddString(IDC_TRIES, plat::StrFormatC("%i", i));
  SetItemText(IDC_TRIES, plat::StrFormatC("%i", c.callbackMaximum));
  AddString(IDC_DATE, TodayText());
  SetItemText(IDC_DATE, c.callbackCriterion == 2 && c.callbackDate != 0 ? lists::FormatTime(c.callbackDate, "%d.%m.%y")
                                                                         : TodayText());
  const int mode = c.callbackCriterion >= 0 && c.callbackCriterion <= 3 ? c.callbackCriterion : 0;
  SetRadioIndex(IDC_MODE0, mode);
  EnableModes(mode);

  for (int m : kIntervals) AddString(IDC_INTERVAL, plat::StrFormatC("%i", m));
  CheckButton(IDC_REPEAT, c.callbackInterval != 0);
  SetItemText(IDC_INTERVAL, c.callbackInterval != 0 ? plat::StrFormatC("%ld", c.callbackInterval / 60) : "");
  EnableItem(IDC_INTERVAL, c.callbackInterval != 0);

  const int type = c.callbackType >= 0 && c.callbackType <= 5 ? c.callbackType : 0;
  SetRadioIndex(IDC_TYPE0, type);
  TimeEdits e = EditsOf(type);
  ShowTime(*this, e.beginH, e.beginM, static_cast<long>(c.callbackTimeBegin));
  ShowTime(*this, e.endH, e.endM, static_cast<long>(c.callbackTimeEnd));
  EnableTimes(type);
  return true;
}

void CCallBackSettingsDlg::EnableTimes(int type) {
  for (int t = 1; t <= 5; ++t) {
    TimeEdits e = EditsOf(t);
    for (int id : {e.beginH, e.beginM, e.endH, e.endM})
      if (id) EnableItem(id, t == type);
  }
}

void CCallBackSettingsDlg::EnableModes(int mode) {
  EnableItem(IDC_TRIES, mode == 1);
  EnableItem(IDC_DATE, mode == 2);
}

bool CCallBackSettingsDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id >= IDC_TYPE0 && id <= IDC_TYPE5) {
    EnableTimes(id - IDC_TYPE0);
    return true;
  }
  if (id >= IDC_MODE0 && id <= IDC_MODE3) {
    EnableModes(id - IDC_MODE0);
    return true;
  }
  if (id == IDC_REPEAT) {
    EnableItem(IDC_INTERVAL, IsChecked(IDC_REPEAT));
    return true;
  }
  return false;
}

void CCallBackSettingsDlg::OnDeferred(int action, std::int64_t) {
  if (action == kBadTime) Box(plat::TextId(8, 27), plat::MB_OK | plat::MB_ICONWARNING);
  else if (action == kBadDate) Box(plat::TextId(8, 26), plat::MB_OK | plat::MB_ICONWARNING);
}

void CCallBackSettingsDlg::OnOK() {
  const int type = std::max(0, GetRadioIndex(IDC_TYPE0));
  const int mode = std::max(0, GetRadioIndex(IDC_MODE0));
  TimeEdits e = EditsOf(type);
  long begin = static_cast<long>(call_->callbackTimeBegin), end = static_cast<long>(call_->callbackTimeEnd);
  if ((e.beginH && !lists::ParseTimeOfDay(GetItemText(e.beginH), GetItemText(e.beginM), &begin)) ||
      (e.endH && !lists::ParseTimeOfDay(GetItemText(e.endH), GetItemText(e.endM), &end))) {
    Defer(kBadTime);
    return;
  }
  std::time_t date = 0;
  if (mode == 2) {
    const std::string text = GetItemText(IDC_DATE);
    // The whole day: "today" must still be due when the program starts
    // again later that day.
    date = text == TodayText() ? lists::EndOfDay(plat::WallTime()) : lists::ParseDialogDate(text);
    if (date == 0) {
      Defer(kBadDate);
      return;
    }
  }
  CCallInfo& c = *call_;
  const bool out = IsOutgoing(c);
  (out ? c.calledCompany : c.callingCompany) = GetItemText(IDC_COMPANY);
  (out ? c.calledName : c.callingName) = GetItemText(IDC_NAME);
  (out ? c.calledNumber : c.callingNumber) = GetItemText(IDC_NUMBER);
  c.external = IsChecked(IDC_EXTERNAL);
  c.callbackCriterion = mode;
  c.callbackMaximum = plat::AtoiC(GetItemText(IDC_TRIES).c_str());
  c.callbackDate = date;
  const int minutes = plat::AtoiC(GetItemText(IDC_INTERVAL).c_str());
  c.callbackInterval = IsChecked(IDC_REPEAT) && minutes > 0 ? minutes * 60L : 0;
  c.callbackType = type;
  if (e.beginH) c.callbackTimeBegin = begin;
  if (e.endH) c.callbackTimeEnd = end;
  if (type == 5) c.callbackTimeEnd = c.callbackTimeBegin + 120;
  EndDialog(plat::IDOK);
}

int EditCallBackEntry(CCallBackList& list, int refId, plat::WindowId owner) {
  CCallInfo copy;
  if (!list.BeginEdit(refId, &copy)) return plat::IDCANCEL;
  CCallBackSettingsDlg dlg(&copy);
  int r = dlg.DoModal(owner);
  list.EndEdit(refId, r == plat::IDOK ? &copy : nullptr);
  return r;
}

// ---------------------------------------------------------------- 145

CCallBackListDlg::CCallBackListDlg(CCallBackList* list, plat::WindowId view)
    : CListDialog(plat::dlg::kProgram, kResourceId), list_(list), view_(view) {}

bool CCallBackListDlg::OnInitDialog() {
  if (!list_) {
    Defer(kNoList);
    for (int id : {IDC_START, IDC_STOP, IDC_CHANGE, IDC_DELETE, IDC_ENTER, IDC_DATABASE}) EnableItem(id, false);
    return true;
  }
  Fill();
  ShowRunning();
  return true;
}

void CCallBackListDlg::Fill() {
  ResetContent(IDC_LIST);
  if (!list_) return;
  for (int n = 1; n <= list_->GetCount(); ++n) {
    CCallInfo* c = list_->GetCall(n);
    if (!c) continue;
    // Two entries of one party share a line text: each line keeps its own.
    int i = AddString(IDC_LIST, c->GetDescription(1));
    if (i >= 0) SetItemData(IDC_LIST, i, c->callRefId);
  }
}

void CCallBackListDlg::ShowRunning() {
  const bool running = list_ && list_->IsRunning();
  EnableItem(IDC_START, list_ && !running);
  EnableItem(IDC_STOP, running);
}

int CCallBackListDlg::SelectedRef() const {
  int sel = GetCurSel(IDC_LIST);
  return sel < 0 ? -1 : static_cast<int>(GetItemData(IDC_LIST, sel));
}

bool CCallBackListDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_LIST && code == plat::Notify::DoubleClicked) id = IDC_CHANGE;
  else if (code != plat::Notify::Clicked) return false;
  if (!list_) return id != plat::IDOK && id != plat::IDCANCEL;
  switch (id) {
    case IDC_CHANGE:
      if (SelectedRef() < 0) Defer(kNoSelection);
      else Defer(kChange, SelectedRef());
      return true;
    case IDC_DELETE: {
      int sel = GetCurSel(IDC_LIST);
      if (sel < 0) {
        Defer(kNoSelection);
        return true;
      }
      list_->RemoveEntry(list_->EntryByRef(SelectedRef()));
      DeleteString(IDC_LIST, sel);
      SetCurSel(IDC_LIST, -1);
      return true;
    }
    case IDC_ENTER: Defer(kEnter); return true;
    case IDC_DATABASE: Defer(kPhoneBook); return true;
    case IDC_MISSED: Defer(kMissed); return true;
    case IDC_CALLDATA: Defer(kCallData); return true;
    case IDC_START:
      if (!list_->IsRunning()) {
        list_->SetRunning(1);
        if (view_) plat::SendMessage(view_, hub::kStartCallbackTimer, CCallBackList::kOrigin, 0);
        EndDialog(plat::IDOK);
      }
      return true;
    case IDC_STOP:
      if (list_->IsRunning()) {
        list_->SetRunning(0);
        if (view_) plat::SendMessage(view_, hub::kStopCallbackTimer, CCallBackList::kOrigin, 0);
        ShowRunning();
      }
      return true;
    default:
      return false;
  }
}

void CCallBackListDlg::OnDeferred(int action, std::int64_t arg) {
  switch (action) {
    case kNoList: Box(plat::TextId(4, 17), plat::MB_OK | plat::MB_ICONWARNING); return;
    case kNoSelection: Box(plat::TextId(4, 18), plat::MB_OK | plat::MB_ICONINFORMATION); return;
    case kChange: Change(static_cast<int>(arg)); return;
    case kEnter: Enter(); return;
    case kPhoneBook: FromPhoneBook(); return;
    case kMissed:
    case kCallData:
      if (view_)
        plat::SendMessage(view_, action == kMissed ? hub::kOpenMissedCalls : hub::kOpenCallData, CCallBackList::kOrigin, 0);
      Fill();
      return;
    default:
      return;
  }
}

void CCallBackListDlg::Change(int ref) {
  if (EditCallBackEntry(*list_, ref, Id()) != plat::IDOK) return;
  CCallInfo* c = list_->EntryByRef(ref);
  int line = -1;
  for (int i = 0; i < GetCount(IDC_LIST); ++i)
    if (GetItemData(IDC_LIST, i) == ref) line = i;
  if (!c || line < 0) {
    Fill();
    return;
  }
  DeleteString(IDC_LIST, line);
  InsertString(IDC_LIST, line, c->GetDescription(1));
  SetItemData(IDC_LIST, line, ref);
  SetCurSel(IDC_LIST, line);
}

// New entries are calls to make: the typed party is the called one, and
// an entry without a number is not kept.
void CCallBackListDlg::Enter() {
  CCallInfo* rec = list_->NewCallFor(originCode);
  if (!rec) return;
  CCallInfo copy;
  copy.direction = CCallInfo::kOutgoing;
  CCallBackSettingsDlg dlg(&copy);
  if (dlg.DoModal(Id()) != plat::IDOK || copy.calledNumber.empty()) {
    rec->Release();
    return;
  }
  CCallBackList::ApplySettings(*rec, copy);
  rec->direction = CCallInfo::kOutgoing;
  const int ref = rec->callRefId;
  if (!list_->AddCall(rec)) {
    rec->Release();
    return;
  }
  int i = AddString(IDC_LIST, rec->GetDescription(1));
  if (i >= 0) SetItemData(IDC_LIST, i, ref);
}

void CCallBackListDlg::FromPhoneBook() {
  IPhoneBookPicker* picker = CurrentPhoneBookPicker();
  if (!picker) {
    GlobalLog().WriteEntry("Rueckrufliste: keine Telefonbuchauswahl vorhanden");
    return;
  }
  PickedRecord r;
  if (!picker->Pick(Id(), &r)) return;
  CCallInfo* rec = list_->NewCallFor(originCode);
  if (!rec) return;
  CallParty party;
  party.company = r.company;
  party.title = r.title;
  party.name = r.name;
  party.number = r.number;
  party.external = GlobalConfig().IsInternalNumber(r.number.c_str()) ? 0 : 1;
  rec->SetPartyFromRecord(&party);
  if (!list_->AddCall(rec)) rec->Release();
  Fill();
}

int RunCallBackListDlg(CCallBackList* list, plat::WindowId view) {
  CCallBackListDlg dlg(list, view);
  return dlg.DoModal(view);
}

// ---------------------------------------------------------------- 171

CCallBackSetupDlg::CCallBackSetupDlg() : CListDialog(plat::dlg::kProgram, kResourceId) {}

namespace {
struct TimePair {
  int hours, minutes;
  long CCallBackSetupDlg::*field;
};
const TimePair kSetupTimes[] = {
    {CCallBackSetupDlg::IDC_WORK_BH, CCallBackSetupDlg::IDC_WORK_BM, &CCallBackSetupDlg::m_WorkBegin},
    {CCallBackSetupDlg::IDC_WORK_EH, CCallBackSetupDlg::IDC_WORK_EM, &CCallBackSetupDlg::m_WorkEnd},
    {CCallBackSetupDlg::IDC_LUNCH_BH, CCallBackSetupDlg::IDC_LUNCH_BM, &CCallBackSetupDlg::m_LunchBegin},
    {CCallBackSetupDlg::IDC_LUNCH_EH, CCallBackSetupDlg::IDC_LUNCH_EM, &CCallBackSetupDlg::m_LunchEnd},
};
struct Switch {
  int id;
  int CCallBackSetupDlg::*field;
};
const Switch kSetupSwitches[] = {
    {CCallBackSetupDlg::IDC_STARTSESSION, &CCallBackSetupDlg::m_StartAtSession},
    {CCallBackSetupDlg::IDC_STARTNEW, &CCallBackSetupDlg::m_StartOnNew},
    {CCallBackSetupDlg::IDC_ASK, &CCallBackSetupDlg::m_Ask},
    {CCallBackSetupDlg::IDC_BUSYHINT, &CCallBackSetupDlg::m_BusyHint},
    {CCallBackSetupDlg::IDC_CONFIGNEW, &CCallBackSetupDlg::m_ConfigNew},
    {CCallBackSetupDlg::IDC_HINTEMPTY, &CCallBackSetupDlg::m_HintEmpty},
    {CCallBackSetupDlg::IDC_TAKEOVER, &CCallBackSetupDlg::m_TakeOver},
};
}  // namespace

bool CCallBackSetupDlg::OnInitDialog() {
  for (const TimePair& t : kSetupTimes) ShowTime(*this, t.hours, t.minutes, this->*t.field);
  for (const Switch& s : kSetupSwitches) CheckButton(s.id, this->*s.field ? 1 : 0);
  SetItemInt(IDC_PAUSE, m_Pause);
  return true;
}

void CCallBackSetupDlg::OnDeferred(int action, std::int64_t) {
  if (action == kBadTime) Box(plat::TextId(5, 23), plat::MB_OK | plat::MB_ICONWARNING);
}

void CCallBackSetupDlg::OnOK() {
  long times[4];
  for (int i = 0; i < 4; ++i)
    if (!lists::ParseTimeOfDay(GetItemText(kSetupTimes[i].hours), GetItemText(kSetupTimes[i].minutes), &times[i])) {
      Defer(kBadTime);
      SetFocusItem(kSetupTimes[i].hours);
      return;
    }
  for (int i = 0; i < 4; ++i) this->*kSetupTimes[i].field = times[i];
  for (const Switch& s : kSetupSwitches) this->*s.field = IsChecked(s.id);
  m_Pause = std::max(0, plat::AtoiC(GetItemText(IDC_PAUSE).c_str()));
  EndDialog(plat::IDOK);
}

void FillCallBackSetupDlg(CCallBackSetupDlg& d, const CGlobalConfig& cfg) {
  d.m_WorkBegin = cfg.CBLGSTRTT;
  d.m_WorkEnd = cfg.CBLGSTPT;
  d.m_LunchBegin = cfg.CBLLTB;
  d.m_LunchEnd = cfg.CBLLTE;
  d.m_StartAtSession = cfg.CBLASOBOS;
  d.m_StartOnNew = cfg.CBLASONE;
  d.m_ConfigNew = cfg.CBLACONFPO;
  d.m_HintEmpty = cfg.CBLNWLIE;
  d.m_TakeOver = cfg.CBLAFNEWCWNS;
  d.m_Pause = static_cast<int>(cfg.TB2C / 1000);
  d.m_Ask = cfg.ABNC;
  d.m_BusyHint = cfg.CBLAWICITBMWUIB;
}

void StoreCallBackSetup(const CCallBackSetupDlg& d, CGlobalConfig& cfg) {
  cfg.CBLGSTRTT = d.m_WorkBegin;
  cfg.CBLGSTPT = d.m_WorkEnd;
  cfg.CBLLTB = d.m_LunchBegin;
  cfg.CBLLTE = d.m_LunchEnd;
  cfg.CBLASOBOS = d.m_StartAtSession;
  cfg.CBLASONE = d.m_StartOnNew;
  cfg.CBLACONFPO = d.m_ConfigNew;
  cfg.CBLNWLIE = d.m_HintEmpty;
  cfg.CBLAFNEWCWNS = d.m_TakeOver;
  cfg.ABNC = d.m_Ask;
  cfg.CBLAWICITBMWUIB = d.m_BusyHint;
  cfg.TB2C = d.m_Pause * 1000L;
}

int RunCallBackSetupDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  CCallBackSetupDlg dlg;
  FillCallBackSetupDlg(dlg, cfg);
  int r = dlg.DoModal(owner);
  if (r == plat::IDOK) StoreCallBackSetup(dlg, cfg);
  return r;
}
