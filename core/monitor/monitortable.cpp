#include "core/monitor/monitortable.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <new>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/monitor/monitorlog.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/textid.h"

void CAutoResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    signalled_ = true;
  }
  cv_.notify_one();
}

bool CAutoResetEvent::Wait(unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; })) return false;
  signalled_ = false;
  return true;
}

void CMonitorEntry::SetNumber(const std::string& n) { plat::CopyBounded(number, sizeof number, n.c_str()); }

void CMonitorEntry::SetOtherParty(const std::string& n) {
  plat::CopyBounded(otherParty, sizeof otherParty, n.c_str());
}

CMonitorTable::CMonitorTable() {
  entries_.reset(new (std::nothrow) CMonitorEntry[kEntries]);
  if (!entries_) {
    const char* t = plat::GetText(plat::TextId(56, 0));
    plat::MessageBox(0, t ? t : "", "", plat::MB_OK | plat::MB_ICONERROR);
    count_ = 0;
    shown_ = 0;
    return;
  }
  for (int i = 0; i < kEntries; ++i) {
    std::string n = plat::StrFormatC("%i", 10 + i);
    entries_[i].SetNumber(n);
    plat::CopyBounded(entries_[i].slotKey, sizeof entries_[i].slotKey, n.c_str());
  }
  Load();
  mode_ = kIdle;
  shown_ = kEntries;
  intNumLength_ = 2;
}

CMonitorTable::~CMonitorTable() {
  if (entries_) Save();
}

std::string CMonitorTable::NumberKey(const std::string& number) {
  std::size_t i = 0;
  while (i < number.size() && number[i] >= '0' && number[i] <= '9') ++i;
  if (i == 0) return {};
  std::size_t first = 0;
  while (first + 1 < i && number[first] == '0') ++first;
  return number.substr(first, i - first);
}

CMonitorEntry* CMonitorTable::EntryAt(int index) {
  if (!entries_ || index < 0 || index >= count_) return nullptr;
  return &entries_[index];
}

int CMonitorTable::IndexOf(const CMonitorEntry* e) const {
  if (!entries_ || !e) return -1;
  for (int i = 0; i < count_; ++i)
    if (&entries_[i] == e) return i;
  return -1;
}

CMonitorEntry* CMonitorTable::FindByNumber(const std::string& number) {
  std::string key = NumberKey(number);
  if (key.empty()) return nullptr;
  for (int i = 0; i < count_; ++i) {
    if (NumberKey(entries_[i].number) == key) return &entries_[i];
  }
  return nullptr;
}

int CMonitorTable::IsKnownNumber(const std::string& number) { return FindByNumber(number) ? 1 : 0; }

std::uint32_t CMonitorTable::GetCrossRefId(const std::string& number) {
  CMonitorEntry* e = FindByNumber(number);
  return e ? e->crossRefId : 0;
}

int CMonitorTable::IsKnownCrossRefId(std::uint32_t id) {
  if (id == 0 || mode_ == kStarting || mode_ == kStartingOne) return 1;
  return FindByState(2, id) ? 1 : 0;
}

CMonitorEntry* CMonitorTable::FindByState(int how, std::uint32_t id) {
  for (int i = 0; i < count_; ++i) {
    CMonitorEntry& e = entries_[i];
    switch (how) {
      case 0:
        if (e.monitorState == CMonitorEntry::kNotMonitored) return &e;
        break;
      case 1:
        if (e.monitoringOn && e.monitorState == CMonitorEntry::kStartRequested) return &e;
        break;
      case 2:
        // Entries without a monitor hold 0; that is nobody's id.
        if (id != 0 && e.crossRefId == id) return &e;
        break;
      default:
        return nullptr;
    }
  }
  return nullptr;
}

int CMonitorTable::CountMonitored() {
  int n = 0;
  for (int i = 0; i < count_; ++i)
    if (entries_[i].monitorState == CMonitorEntry::kMonitored) ++n;
  return n;
}

int CMonitorTable::IsMonitored(const std::string& number) {
  CMonitorEntry* e = FindByNumber(number);
  return (e && e->monitorState == CMonitorEntry::kMonitored) ? 1 : 0;
}

std::string CMonitorTable::NameOf(const std::string& number, int how) {
  CMonitorEntry* e = FindByNumber(number);
  if (!e) return {};
  if (how == 0) return e->name;
  if (how == 1) return e->name.empty() ? e->name : e->title + " " + e->name;
  return {};
}

std::string CMonitorTable::EntryText(const CMonitorEntry* e, bool shortForm) const {
  if (!e) return {};
  std::string s;
  if (e->title.empty()) s = e->name;
  else if (e->name.empty()) s = e->title;
  else s = e->title + " " + e->name;
  if (shortForm) return s;
  if (s.empty()) return e->number;
  return s + " (" + e->number + ")";
}

int CMonitorTable::SetMainPhone(const std::string& number) {
  CMonitorEntry* e = FindByNumber(number);
  if (!e) return 0;
  main_ = e;
  e->monitoringOn = 1;
  return 1;
}

int CMonitorTable::SetCollectorPhone(const std::string& number) {
  CMonitorEntry* e = FindByNumber(number);
  if (!e) return 0;
  collector_ = e;
  e->monitoringOn = 1;
  return 1;
}

std::string CMonitorTable::GetMainPhone() const { return main_ ? main_->number : ""; }
std::string CMonitorTable::GetCollectorPhone() const { return collector_ ? collector_->number : ""; }

int CMonitorTable::GetMainPhoneConnectionState() const { return main_ ? main_->connectionState : 0; }

void CMonitorTable::ResetConnection(const std::string& number) {
  CMonitorEntry* e = FindByNumber(number);
  if (!e) return;
  e->connectionState = -1;
  e->lastCallId = 0;
  e->lastEvent = 0;
  e->connDirection = 0;
  e->SetOtherParty("");
}

void CMonitorTable::ResetCursor() { cursor_ = 0; }

std::string CMonitorTable::FormText(const CMonitorEntry& e, int form) const {
  switch (form) {
    case 1:
      return e.number;
    case 2: {
      std::string s = EntryText(&e, false);
      if (e.connectionState != -1) s = plat::StrFormatC("%s\t<-> %s", s.c_str(), e.otherParty);
      return s;
    }
    default:
      if (!e.title.empty()) return plat::StrFormatC("%s - %s %s", e.number, e.title.c_str(), e.name.c_str());
      if (!e.name.empty()) return plat::StrFormatC("%s - %s", e.number, e.name.c_str());
      return e.number;
  }
}

std::string CMonitorTable::Next(int form, bool onlyMonitoringOn, bool onlyConnected) {
  while (cursor_ >= 0 && cursor_ < shown_ && cursor_ < count_) {
    const CMonitorEntry& e = entries_[cursor_++];
    if (onlyMonitoringOn && !e.monitoringOn) continue;
    if (onlyConnected && e.connectionState == -1) continue;
    return FormText(e, form);
  }
  return {};
}

std::string CMonitorTable::NextToMonitor() {
  for (int i = 0; i < count_ && i < shown_; ++i) {
    CMonitorEntry& e = entries_[i];
    if ((mode_ == kStarting || mode_ == kStartingOne) && e.monitoringOn &&
        e.monitorState == CMonitorEntry::kNotMonitored) {
      e.monitorState = CMonitorEntry::kStartRequested;
      inProgress_ = &e;
      askedAtMs_ = plat::NowMs();
      return e.number;
    }
    if (mode_ == kStopping && e.monitorState == CMonitorEntry::kMonitored) {
      e.monitorState = CMonitorEntry::kStopRequested;
      inProgress_ = &e;
      askedAtMs_ = plat::NowMs();
      return e.number;
    }
  }
  return {};
}

int CMonitorTable::WaitForConfirmation(int stopping) {
  if (!inProgress_) {
    const char* t = plat::GetText(plat::TextId(56, 1));
    monitor_detail::WriteLog(t ? t : "");
    return 0;
  }
  // Milliseconds on the monotonic clock: a request made just before a
  // second boundary still gets its whole time-out.
  std::int64_t limitMs = static_cast<std::int64_t>(GlobalConfig().MCTO) * 1000;
  bool expired = static_cast<std::int64_t>(plat::NowMs() - askedAtMs_) >= limitMs;
  CMonitorEntry& e = *inProgress_;
  if (!stopping) {
    if (e.monitorState == CMonitorEntry::kMonitored || e.monitorState == CMonitorEntry::kStartFailed) return 0;
    if (expired) {
      e.monitorState = CMonitorEntry::kStartFailed;
      return 0;
    }
    return 1;
  }
  if (e.monitorState == CMonitorEntry::kStopped) return 0;
  if (expired) {
    e.monitorState = CMonitorEntry::kStopped;
    return 0;
  }
  return 1;
}

int CMonitorTable::SetEntry(const CMonitorEntry& src) {
  CMonitorEntry* e = FindByNumber(src.number);
  if (!e) return 0;
  const bool wasOn = e->monitoringOn != 0;
  e->monitoringOn = src.monitoringOn;
  e->SetNumber(src.number);
  e->title = src.title;
  e->name = src.name;
  if (src.watchMode <= CMonitorEntry::kTakeOver) e->watchMode = src.watchMode;
  if (e->watchMode > 0) {
    e->monitoringOn = 1;
    // Asked at once only while no start or stop sequence runs; otherwise
    // a running start sequence picks the entry up by itself.
    if (!wasOn && partner_ && mode_ == kIdle && e->monitorState != CMonitorEntry::kMonitored) {
      e->monitorState = CMonitorEntry::kStartRequested;
      mode_ = kStartingOne;
      inProgress_ = e;
      askedAtMs_ = plat::NowMs();
      partner_->SendMonitorRequest(e->number, 1);
    }
  }
  return 1;
}

int CMonitorTable::SetShownCount(int n) {
  if (n >= 1 && n <= 59) shown_ = n;
  return shown_;
}

int CMonitorTable::TakeChanged(bool clear) {
  int c = changed_;
  if (clear) changed_ = 0;
  return c;
}

std::string CMonitorTable::FileName() const {
  const std::string& sdfn = GlobalConfig().SDFN;
  return sdfn.empty() ? std::string() : plat::MapPath(sdfn);
}

int CMonitorTable::Load(const std::string& name) {
  if (!name.empty() || !entries_) return 0;
  std::string file = FileName();
  if (file.empty()) return 0;
  const plat::ProfileReadScope once(file);
  for (int i = 0; i < count_; ++i) {
    CMonitorEntry& e = entries_[i];
    std::string sec = plat::StrFormatC("%s-%s", "MONTAB", e.slotKey);
    auto get = [&](const char* key) { return plat::GetProfileText(sec.c_str(), key, "", file, 128); };
    e.title = get("TITEL");
    e.name = get("NAME");
    e.monitoringOn = static_cast<std::uint32_t>(plat::AtolC(get("MONON").c_str()) != 0);
    long mode = plat::AtolC(get("MONSTAT").c_str());
    e.watchMode = (mode >= 0 && mode <= CMonitorEntry::kTakeOver) ? static_cast<std::uint32_t>(mode) : 0;
    std::string num = get("INTNUMBER");
    if (!num.empty()) e.SetNumber(num);
  }
  std::string mainPhone = plat::GetProfileText("MONTAB", "MAINPHONE", "", file, 128);
  std::string collPhone = plat::GetProfileText("MONTAB", "COLLPHONE", "", file, 128);
  intNumLength_ = static_cast<int>(plat::AtolC(plat::GetProfileText("MONTAB", "INTNUMLENGTH", "2", file, 128).c_str()));
  SetMainPhone(mainPhone);
  SetCollectorPhone(collPhone);
  return 1;
}

int CMonitorTable::Save(const std::string& name) {
  if (!name.empty() || !entries_) return 0;
  std::string file = FileName();
  if (file.empty()) return 0;
  // One replacement of the file: a kill or a full disk leaves the old table
  // or the new one, never a mixture.
  plat::ProfileBatch batch(file);
  for (int i = 0; i < count_; ++i) {
    CMonitorEntry& e = entries_[i];
    std::string sec = plat::StrFormatC("%s-%s", "MONTAB", e.slotKey);
    e.monitoringOn = e.watchMode != 0 ? 1 : 0;
    const char* s = sec.c_str();
    batch.Write(s, "TITEL", e.title.c_str());
    batch.Write(s, "NAME", e.name.c_str());
    batch.Write(s, "MONON", plat::StrFormatC("%i", static_cast<int>(e.monitoringOn)).c_str());
    batch.Write(s, "MONSTAT", plat::StrFormatC("%i", static_cast<int>(e.watchMode)).c_str());
    batch.Write(s, "INTNUMBER", e.number);
  }
  batch.Write("MONTAB", "MAINPHONE", GetMainPhone().c_str());
  batch.Write("MONTAB", "COLLPHONE", GetCollectorPhone().c_str());
  batch.Write("MONTAB", "INTNUMLENGTH", plat::StrFormatC("%i", intNumLength_).c_str());
  if (!batch.Commit()) {
    monitor_detail::LogFileFailure(file, errno);
    return 0;
  }
  return 1;
}

std::string CMonitorTable::Navigate(int how) {
  int last = std::min(shown_, count_) - 1;
  if (last < 0) return {};
  switch (how) {
    case 0: navPos_ = 0; break;
    case 1: if (navPos_ < last) ++navPos_; break;
    case 2: if (navPos_ > 0) --navPos_; break;
    case 3: navPos_ = last; break;
    default: break;
  }
  if (navPos_ > last) navPos_ = last;
  return entries_[navPos_].number;
}

std::string CMonitorTable::GetNumberAt(int index) {
  if (index < 0 || index >= shown_ || index >= count_) return {};
  return entries_[index].number;
}

int CMonitorTable::GetField(const char* number, int field, char* buffer, std::size_t size, int) {
  if (buffer && size) buffer[0] = '\0';
  CMonitorEntry* e = number ? FindByNumber(number) : nullptr;
  if (!e || field < 0 || field > 16) return kUnknown;
  std::string s;
  switch (field) {
    case 1: s = e->number; break;
    case 2: s = e->title; break;
    case 3: s = e->name; break;
    case 4: s = e->title.empty() ? e->name : e->title + " " + e->name; break;
    case 5: s = plat::StrFormatC("%i", static_cast<int>(e->watchMode)); break;
    case 7: s = plat::StrFormatC("%lu", static_cast<unsigned long>(e->crossRefId)); break;
    case 14: if (e->currentCall) s = e->currentCall->GetDescription(8); break;
    default: break;
  }
  if (buffer && size) plat::CopyBounded(buffer, size, s.c_str());
  return kOk;
}

int CMonitorTable::SetField(const char* number, int field, const char* text) {
  CMonitorEntry* e = number ? FindByNumber(number) : nullptr;
  if (!e || field < 0 || field > 16) return kUnknown;
  if (field == 5 && text) {
    long v = plat::AtolC(text);
    if (v >= 0 && v <= CMonitorEntry::kTakeOver) e->watchMode = static_cast<std::uint32_t>(v);
  }
  return kOk;
}
