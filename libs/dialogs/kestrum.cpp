#include "libs/dialogs/kestrum.h"

#include <QDialog>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "libs/dialogs/datetimefmt.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace {

using plat::Notify;

// --- progress text dialog ---

constexpr int kLine1 = 1226, kLine2 = 1227, kLine3 = 1228, kIcon = 1341, kBar = 1000, kButton = 2;

struct ProgressRecord;

class ProgressDlg : public plat::Dialog {
 public:
  explicit ProgressDlg(ProgressRecord* rec) : Dialog(plat::dlg::kKestrum, 123), rec_(rec) {}
  ~ProgressDlg() override { DestroyWindow(); }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, Notify code) override {
    if (id == kButton && code == Notify::Clicked) {
      Press();
      return true;
    }
    return false;
  }
  void OnOK() override {}
  // The cancel key is the button: it reports, it does not close.
  void OnCancel() override { Press(); }
  void OnDestroy() override;

 private:
  void Press();
  ProgressRecord* rec_;
  bool disabledParent_ = false;
};

struct ProgressRecord {
  PROGRESSPARAMS params{};
  char text[4][64]{};
  const char* ptrs[4];
  std::unique_ptr<ProgressDlg> dlg;
  ProgressRecord() {
    for (int i = 0; i < 4; ++i) ptrs[i] = text[i];
  }
};

bool ProgressDlg::OnInitDialog() {
  const PROGRESSPARAMS& p = rec_->params;
  if (p.flags & KESTRUM_PF_SHOWICON) {
    ShowItem(kIcon, true);
    SetItemStandardIcon(kIcon, static_cast<int>(p.icon));
  }
  if (p.flags & KESTRUM_PF_SHOWBUTTON) {
    ShowItem(kButton, true);
    if (p.buttonText) SetItemText(kButton, p.buttonText);
  }
  if ((p.flags & KESTRUM_PF_DISABLEPARENT) && p.parent) {
    plat::dlg::EnableWindow(p.parent, false);
    disabledParent_ = true;
  }
  return true;
}

void ProgressDlg::Press() {
  const PROGRESSPARAMS& p = rec_->params;
  if (!(p.flags & KESTRUM_PF_NOTIFY)) return;
  plat::WindowId to = (p.flags & KESTRUM_PF_NOTIFYWINDOW) && p.notify ? p.notify : p.parent;
  plat::SendMessage(to, p.message, 0, disabledParent_ ? 1 : 0);
}

void ProgressDlg::OnDestroy() {
  if (disabledParent_) {
    plat::dlg::EnableWindow(rec_->params.parent, true);
    plat::dlg::SetForegroundWindow(rec_->params.parent);
    disabledParent_ = false;
  }
}

// Never destroyed: a handle left open at exit must not tear down widgets
// after the application object is gone.
auto& g_progress = *new std::map<KESTRUMHANDLE, std::unique_ptr<ProgressRecord>>;
KESTRUMHANDLE g_nextHandle = 1;
// Records destroyed from inside their own dialog's notification wait here
// until the notification has returned.
auto& g_graveyard = *new std::vector<std::unique_ptr<ProgressRecord>>;

void BuryDead() {
  for (auto it = g_graveyard.begin(); it != g_graveyard.end();) {
    if (!(*it)->dlg || !(*it)->dlg->Dispatching()) it = g_graveyard.erase(it);
    else ++it;
  }
}

bool SizeIs(const PROGRESSPARAMS* p) { return p && p->size == sizeof(PROGRESSPARAMS); }

void ShowTexts(ProgressRecord& r) {
  if (!r.dlg || !r.dlg->IsCreated()) return;
  r.dlg->SetWindowText(r.text[0]);
  r.dlg->SetItemText(kLine1, r.text[1]);
  r.dlg->SetItemText(kLine2, r.text[2]);
  r.dlg->SetItemText(kLine3, r.text[3]);
  // Repaint only: running the event loop here would deliver PBX messages
  // into the read-out that is showing this progress.
  if (QDialog* w = r.dlg->Window(); w && w->isVisible()) w->repaint();
}

// --- time and date dialog ---

constexpr int kDate = 1091, kDateFmt = 1094, kTime = 1092, kTimeFmt = 1096, kToday = 1099,
              kNow = 1098, kPcTime = 1097;
constexpr plat::UINT kStatusMessage = 1579;

class TimeDateDlg : public plat::Dialog {
 public:
  explicit TimeDateDlg(DATETIMEPARAMS* p) : Dialog(plat::dlg::kKestrum, 112), p_(p) {}

 protected:
  bool OnInitDialog() override {
    for (const auto& f : kestrum::kDateFormats) AddString(kDateFmt, f.name);
    for (const auto& f : kestrum::kTimeFormats) AddString(kTimeFmt, f.name);
    if ((p_->flags & KESTRUM_DT_DATEFORMAT) && p_->dateFormat)
      SetCurSel(kDateFmt, FindStringExact(kDateFmt, -1, p_->dateFormat));
    if (GetCurSel(kDateFmt) < 0) SetCurSel(kDateFmt, FindStringExact(kDateFmt, -1, "dd.mm.yyyy"));
    if ((p_->flags & KESTRUM_DT_TIMEFORMAT) && p_->timeFormat)
      SetCurSel(kTimeFmt, FindStringExact(kTimeFmt, -1, p_->timeFormat));
    if (GetCurSel(kTimeFmt) < 0) SetCurSel(kTimeFmt, FindStringExact(kTimeFmt, -1, "HH:MM:SS"));
    EnableItem(kDateFmt, (p_->flags & KESTRUM_DT_DATEFORMATS) != 0);
    EnableItem(kTimeFmt, (p_->flags & KESTRUM_DT_TIMEFORMATS) != 0);
    if (p_->title) SetWindowText(p_->title);

    bool have = true;
    std::time_t t = 0;
    if (p_->flags & KESTRUM_DT_INTIME) {
      t = static_cast<std::time_t>(p_->time);
    } else if (p_->flags & KESTRUM_DT_INTM) {
      std::tm tm{};
      tm.tm_sec = p_->tm.sec; tm.tm_min = p_->tm.min; tm.tm_hour = p_->tm.hour;
      tm.tm_mday = p_->tm.mday; tm.tm_mon = p_->tm.mon; tm.tm_year = p_->tm.year;
      t = kestrum::LocalToTime(tm);
    } else {
      have = false;
    }
    if (have) {
      ShowDate(t);
      ShowTime(t);
    }
    return true;
  }

  bool OnCommand(int id, Notify code) override {
    if (code != Notify::Clicked) return false;
    std::time_t now = plat::WallTime();
    switch (id) {
      case kToday: ShowDate(now); return true;
      case kNow: ShowTime(now); return true;
      case kPcTime: ShowDate(now); ShowTime(now); return true;
      default: return false;
    }
  }

  void OnOK() override {
    std::string date = GetItemText(kDate), time = GetItemText(kTime);
    if ((p_->flags & KESTRUM_DT_NEEDTIME) && time.empty()) return;
    if ((p_->flags & KESTRUM_DT_NEEDDATE) && date.empty()) return;
    std::time_t now = plat::WallTime();
    std::tm nowTm{};
    localtime_r(&now, &nowTm);
    std::tm tm{};
    kestrum::ReadDate(date, GetLBText(kDateFmt, GetCurSel(kDateFmt)), nowTm, &tm);
    kestrum::ReadTime(time, nowTm, &tm);
    std::time_t result = kestrum::LocalToTime(tm);
    if (p_->flags & KESTRUM_DT_OUTTIME) p_->resultTime = result;
    if (p_->flags & KESTRUM_DT_OUTTM) {
      std::tm out{};
      localtime_r(&result, &out);
      p_->resultTm = {out.tm_sec, out.tm_min, out.tm_hour, out.tm_mday, out.tm_mon,
                      out.tm_year, out.tm_wday, out.tm_yday, out.tm_isdst};
    }
    EndDialog(plat::IDOK);
  }

  plat::LRESULT OnWindowMessage(const plat::Message& m) override {
    // A status report: the 16-bit value at offset 14 of the record tells
    // success.
    if (m.msg == kStatusMessage && m.wParam == 84 && m.payload.size() >= 16) {
      std::uint16_t v = static_cast<std::uint16_t>(m.payload[14] | (m.payload[15] << 8));
      plat::MessageBox(Id(), v ? "OK" : "Error", "", plat::MB_OK);
    }
    return 0;
  }

 private:
  void ShowDate(std::time_t t) {
    const char* pat = kestrum::PatternOf(GetLBText(kDateFmt, GetCurSel(kDateFmt)));
    SetItemText(kDate, kestrum::FormatTime(t, pat ? pat : "%d.%m.%Y"));
  }
  void ShowTime(std::time_t t) {
    const char* pat = kestrum::PatternOf(GetLBText(kTimeFmt, GetCurSel(kTimeFmt)));
    SetItemText(kTime, kestrum::FormatTime(t, pat ? pat : "%H:%M:%S"));
  }
  DATETIMEPARAMS* p_;
};

// --- input dialog ---

constexpr int kPrompt = 1002, kInput = 1207;

class InputDlg : public plat::Dialog {
 public:
  InputDlg(INPUTPARAMS* p, int resource) : Dialog(plat::dlg::kKestrum, resource), p_(p) {}

 protected:
  bool OnInitDialog() override {
    if (p_->caption) SetWindowText(p_->caption);
    if (p_->okText) SetItemText(plat::IDOK, p_->okText);
    if (p_->cancelText) SetItemText(plat::IDCANCEL, p_->cancelText);
    if (p_->prompt) SetItemText(kPrompt, p_->prompt);
    if (p_->defaultText) SetItemText(kInput, p_->defaultText);
    SetFocusItem(kInput);
    return false;
  }
  void OnOK() override {
    std::string text = GetItemText(kInput);
    // A buffer of size 0 gets nothing, not even the terminating zero.
    if (p_->buffer && p_->bufferSize > 0) plat::CopyBounded(p_->buffer, p_->bufferSize, text.c_str());
    p_->length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
    EndDialog(plat::IDOK);
  }
  void OnCancel() override {
    if (p_->buffer && p_->bufferSize > 0) p_->buffer[0] = '\0';
    p_->length = 0;
    EndDialog(plat::IDCANCEL);
  }

 private:
  INPUTPARAMS* p_;
};

}  // namespace

extern "C" {

std::uint16_t KESTRUMHasFeature(std::uint16_t feature, std::uint16_t option) {
  if (feature >= 1 && feature <= 3) return 1;
  if (feature == 4 && (option == 1 || option == 2)) return 1;
  return 0;
}

std::uint16_t KESTRUMLoadCountrySpecificData(std::uint16_t value, std::uint32_t) { return value; }

const char* const* KESTRUMShowProgressTextDialogEx(KESTRUMHANDLE* handle, std::uint16_t command,
                                                   const PROGRESSTEXTS* texts,
                                                   const PROGRESSPARAMS* params) {
  BuryDead();
  if (!handle) return nullptr;
  if (command == KESTRUM_PROGRESS_CREATE) {
    if (!SizeIs(params)) return nullptr;
    auto rec = std::make_unique<ProgressRecord>();
    rec->params = *params;
    rec->dlg = std::make_unique<ProgressDlg>(rec.get());
    if (!rec->dlg->Create(params->parent)) {
      rec->dlg.reset();
      plat::MessageBox(params->parent, "Couldn't create progress dialog!", "", plat::MB_OK);
    }
    KESTRUMHANDLE h = g_nextHandle++;
    const char* const* result = rec->ptrs;
    g_progress[h] = std::move(rec);
    *handle = h;
    return result;
  }
  auto it = g_progress.find(*handle);
  if (*handle == 0 || it == g_progress.end()) return nullptr;
  ProgressRecord& r = *it->second;
  ProgressDlg* dlg = r.dlg && r.dlg->IsCreated() ? r.dlg.get() : nullptr;
  switch (command) {
    case KESTRUM_PROGRESS_DESTROY: {
      std::unique_ptr<ProgressRecord> gone = std::move(it->second);
      g_progress.erase(it);
      *handle = 0;
      if (gone->dlg) {
        gone->dlg->DestroyWindow();
        if (gone->dlg->Dispatching()) g_graveyard.push_back(std::move(gone));
      }
      return nullptr;
    }
    case KESTRUM_PROGRESS_TEXTS:
    case KESTRUM_PROGRESS_TEXTS2:
      if (texts) {
        const char* in[4] = {texts->title, texts->line1, texts->line2, texts->line3};
        for (int i = 0; i < 4; ++i)
          if (in[i]) plat::CopyBounded(r.text[i], sizeof r.text[i], in[i]);
      }
      ShowTexts(r);
      break;
    case KESTRUM_PROGRESS_ICON:
      if (dlg && SizeIs(params)) {
        dlg->ShowItem(kIcon, true);
        dlg->SetItemStandardIcon(kIcon, static_cast<int>(params->icon));
      }
      break;
    case KESTRUM_PROGRESS_BUTTON:
      if (dlg && SizeIs(params) && params->buttonText) {
        dlg->SetItemText(kButton, params->buttonText);
        dlg->ShowItem(kButton, true);
      }
      break;
    case KESTRUM_PROGRESS_POSITION:
      if (dlg && SizeIs(params)) {
        dlg->ShowItem(kBar, true);
        dlg->SetProgressPos(kBar, params->position);
      }
      break;
    default:
      if (dlg && SizeIs(params)) {
        if (params->flags & KESTRUM_PF_HIDEBUTTON) dlg->ShowItem(kButton, false);
        else if ((params->flags & KESTRUM_PF_BUTTONTEXT) && params->buttonText) {
          dlg->SetItemText(kButton, params->buttonText);
          dlg->ShowItem(kButton, true);
        }
      }
      break;
  }
  return r.ptrs;
}

std::uint16_t KESTRUMTimeAndDateDialog(DATETIMEPARAMS* params) {
  if (!params || params->size != sizeof(DATETIMEPARAMS)) return 0;
  TimeDateDlg dlg(params);
  return dlg.DoModal(params->parent) == plat::IDOK ? 1 : 0;
}

std::uint16_t KESTRUMInputDialog(INPUTPARAMS* params, std::uint16_t variant) {
  if (!params || params->size != sizeof(INPUTPARAMS)) return 0;
  if (variant != 1 && variant != 2) return 0;
  InputDlg dlg(params, variant == 1 ? 131 : 130);
  return dlg.DoModal(params->parent) == plat::IDOK ? 1 : 0;
}

}  // extern "C"
