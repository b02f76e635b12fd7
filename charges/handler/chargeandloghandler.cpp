#include "charges/handler/chargeandloghandler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "charges/handler/chargetime.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/iface/pbxlink.h"
#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"
#include "platform/fileio.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr plat::UINT kMsgBox = 0x8101;  // payload: the text
constexpr const char* kCharges = "CHARGES";
// The read-out index is kept in 16 bits: a larger count could not be
// taken up again after a restart.
constexpr long kMaxRecordCount = 65535;

std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }

std::uint32_t Now() {
  const std::time_t t = std::time(nullptr);
  return t > 0 ? static_cast<std::uint32_t>(t) : 0;
}

long Number(const std::string& s) { return plat::AtolC(s.c_str()); }

}  // namespace

std::size_t CChargeAndLogHandler::KeyHash::operator()(const std::array<std::uint8_t, ChargeRecord::kSize>& k) const {
  // FNV-1a over the 48 bytes.
  std::uint64_t h = 1469598103934665603ull;
  for (std::uint8_t b : k) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return static_cast<std::size_t>(h);
}

CChargeAndLogHandler::CChargeAndLogHandler(CGlobalConfig* config) : config_(config ? config : &GlobalConfig()) {
  self_ = plat::RegisterTarget(this);
  deviceCount_ = Config().IO1008 == 1 ? 9 : 50;
}

CChargeAndLogHandler::~CChargeAndLogHandler() {
  CloseFiles();
  listeners_.clear();
  plat::UnregisterTarget(self_);
}

void CChargeAndLogHandler::Log(const std::string& text) const { GlobalLog().WriteEntry(text.c_str()); }

void CChargeAndLogHandler::PostBox(const std::string& text) {
  plat::PostMessage(self_, kMsgBox, 0, 0, text.data(), text.size());
}

plat::LRESULT CChargeAndLogHandler::OnMessage(const plat::Message& m) {
  if (m.msg != kMsgBox) return 0;
  const std::string text(m.payload.begin(), m.payload.end());
  plat::MessageBox(0, text, "", plat::MB_OK | plat::MB_ICONWARNING);
  return 0;
}

// ------------------------------------------------------------------- files

int CChargeAndLogHandler::SetPartners(IViewMessageSink* view, IPBXLink* link, CPBXMessageSink* filter,
                                      CMonitorTable* monitors) {
  int n = 0;
  if (view) view_ = view, ++n;
  if (link) link_ = link, ++n;
  if (filter) requests_ = lock_ = filter, ++n;
  if (monitors) monitors_ = monitors, ++n;
  readIndex_ = Config().LastReadOutIndex;
  const long t = Config().LastReadOutTimeStamp;
  readTime_ = t > 0 && t <= 0xFFFFFFFFL ? static_cast<std::uint32_t>(t) : 0;
  return n;
}

bool CChargeAndLogHandler::RecordingOn() const { return Config().CPROCON != 0 && chargeOpen_; }

int CChargeAndLogHandler::OpenChargeFile(const std::string& name) {
  if (Config().CPROCON == 0) return 0;
  if (chargeOpen_ || selOpen_) CloseFiles();
  const std::string path = plat::MapPath(name);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size < static_cast<off_t>(ChargeFileHeader::kSize)) {
    // Not a charge file, or one cut short: left as it is, nothing stored.
    Log(plat::StrFormatC("%s: %s", path.c_str(), T(plat::TextId(53, 0)).c_str()));
    PostBox(plat::StrFormatC("%s\r\n%s", path.c_str(), T(plat::TextId(53, 0)).c_str()));
    return 0;
  }
  // On a fresh machine the folders above it (a mapped drive root) are
  // missing too. Recording stays off when it cannot be written; the user
  // is told.
  const int how = plat::MakeParentFolders(path) ? chargeFile_.OpenOrCreate(path) : -1;
  if (how < 0) {
    ReportUnwritableFile(path, errno);
    return 0;
  }
  if (chargeFile_.IsReadOnly()) ReportUnwritableFile(path, EACCES);
  last_.Clear();
  std::uint8_t h[ChargeFileHeader::kSize] = {};
  if (how == 1) {
    header_.Serialize(h);
    if (chargeFile_.WriteHeader(h) != 0 || !chargeFile_.Sync()) {
      ReportUnwritableFile(path, errno);
      chargeFile_.Close();
      return 0;
    }
  } else {
    chargeFile_.ReadHeader(h);
    if (!chargeFile_.LastOk()) {
      Log(plat::StrFormatC("%s: %s", path.c_str(), std::strerror(errno)));
      chargeFile_.Close();
      return 0;
    }
    header_ = ChargeFileHeader::Parse(h);
    std::uint8_t r[ChargeRecord::kSize];
    if (chargeFile_.GetRecordCount() > 0 && chargeFile_.ReadLast(r) != 0) last_ = ChargeRecord::Parse(r);
  }
  chargeOpen_ = true;
  DropReadBuffer();
  reportNext_ = 0;
  LoadRecentKeys();
  OpenSelectionFile();
  return selOpen_ ? 1 : 0;
}

// The selection file is named as the settings layer names its temporaries
// ("<prefix>.tmp<pid>_<n>"), so a start removes those that runs killed
// before they could remove their own.
void CChargeAndLogHandler::OpenSelectionFile() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp && *tmp ? tmp : "/tmp";
  std::string prefix;
  for (char c : T(plat::TextId(48, 40)))
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) prefix += c;
  if (prefix.empty()) prefix = "chg";
  const std::string base = dir + "/" + prefix;
  plat::io::RemoveStaleTemporaries(base);
  // Random, so that a name cannot be taken in advance by someone else.
  std::random_device entropy;
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    name = plat::StrFormatC("%s.tmp%ld_%u", base.c_str(), static_cast<long>(::getpid()), entropy());
    fd = plat::io::Open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    Log(plat::StrFormatC("%s: %s", base.c_str(), std::strerror(errno)));
    return;
  }
  plat::io::Close(fd);
  selName_ = name;
  if (selFile_.OpenOrCreate(selName_) < 0 || !ResetSelectionFile()) {
    Log(plat::StrFormatC("%s: %s", selName_.c_str(), std::strerror(errno)));
    selFile_.Close();
    ::unlink(selName_.c_str());
    selName_.clear();
    return;
  }
  selOpen_ = true;
}

bool CChargeAndLogHandler::ResetSelectionFile() {
  selHeader_ = ChargeFileHeader::Default();
  std::uint8_t h[ChargeFileHeader::kSize];
  selHeader_.Serialize(h);
  return selFile_.TruncateTo(0) && selFile_.WriteHeader(h) == 0;
}

void CChargeAndLogHandler::CloseSelectionFile() {
  if (selOpen_) selFile_.Close();
  selOpen_ = false;
}

void CChargeAndLogHandler::CloseFiles() {
  if (chargeOpen_ && !chargeFile_.Close()) Log(plat::StrFormatC("%s: %s", chargeFile_.Path().c_str(), std::strerror(errno)));
  chargeOpen_ = false;
  CloseSelectionFile();
  if (!selName_.empty()) ::unlink(selName_.c_str());
  selName_.clear();
  DropReadBuffer();
  recent_.clear();
  recentOrder_.clear();
}

bool CChargeAndLogHandler::PersistHeader() {
  if (!chargeOpen_) return true;
  std::uint8_t h[ChargeFileHeader::kSize];
  header_.Serialize(h);
  if (chargeFile_.WriteHeader(h) == 0 && chargeFile_.Sync()) return true;
  Log(plat::StrFormatC("%s: %s", chargeFile_.Path().c_str(), std::strerror(errno)));
  return false;
}

void CChargeAndLogHandler::WriteCharges() {
  CGlobalConfig& c = Config();
  c.LastReadOutIndex = static_cast<std::uint16_t>(std::clamp(readIndex_, 0, 65535));
  c.LastReadOutTimeStamp = static_cast<long>(readTime_);
  if (settingsFile_.empty()) return;
  plat::ProfileBatch batch(plat::MapPath(settingsFile_));
  batch.Write(kCharges, "LastReadOutIndex", plat::StrFormatC("%u", c.LastReadOutIndex).c_str());
  batch.Write(kCharges, "LastReadOutTimeStamp", plat::StrFormatC("%ld", c.LastReadOutTimeStamp).c_str());
  if (!batch.Commit()) Log(plat::StrFormatC("%s: %s", settingsFile_.c_str(), std::strerror(errno)));
}

// The records first, then the header that names the read-out, then the
// index: after a kill the index never points past records on the disk.
void CChargeAndLogHandler::PersistReadOut() {
  if (chargeOpen_ && !chargeFile_.Sync()) {
    Log(plat::StrFormatC("%s: %s", chargeFile_.Path().c_str(), std::strerror(errno)));
    return;
  }
  if (!PersistHeader()) return;
  WriteCharges();
}

int CChargeAndLogHandler::SaveState() {
  if (Config().CPROCON == 0) return 0;
  // A running read-out ends here: no record is taken after the index saved.
  if (job_ == kJobRecords) ReleaseLock(jobstate::kChargeReadout);
  if (job_ == kJobSums) ReleaseLock(jobstate::kChargeSums);
  job_ = kJobNone;
  step_ = Step::kNone;
  countAsked_ = false;
  PersistReadOut();
  return 1;
}

int CChargeAndLogHandler::SaveReport(int kind, const char* path, int mode) {
  if (!path || !*path) return 0;
  if (kind == 1) {
    if (!selOpen_) return 0;
    CloseSelectionFile();
    const int copied = Config().CopyFileLZ(selName_.c_str(), path);
    if (selFile_.OpenOrCreate(selName_) >= 0) selOpen_ = true;
    if (!copied) {
      Log(plat::StrFormatC("%s: %s", path, std::strerror(errno)));
      return -1;
    }
    return 0;
  }
  std::string text;
  for (std::string line = GetFirstReportLine(1, mode); !line.empty(); line = GetNextReportLine(1, mode)) {
    text += line;
    text += "\r\n";
  }
  if (!plat::io::ReplaceFile(plat::MapPath(path), text)) {
    Log(plat::StrFormatC("%s: %s", path, std::strerror(errno)));
    return 0;
  }
  return 1;
}

std::uint32_t CChargeAndLogHandler::RecordCount() { return chargeOpen_ ? chargeFile_.GetRecordCount() : 0; }

// --------------------------------------------------------------- duplicates

void CChargeAndLogHandler::RememberKey(const ChargeRecord& r) {
  auto key = r.Key();
  if (!recent_.insert(key).second) return;
  recentOrder_.push_back(key);
  while (recentOrder_.size() > static_cast<std::size_t>(std::max(maxCount_, 1))) {
    recent_.erase(recentOrder_.front());
    recentOrder_.pop_front();
  }
}

void CChargeAndLogHandler::LoadRecentKeys() {
  recent_.clear();
  recentOrder_.clear();
  const std::uint32_t n = chargeFile_.GetRecordCount();
  const std::uint32_t first = n > static_cast<std::uint32_t>(maxCount_) ? n - static_cast<std::uint32_t>(maxCount_) : 0;
  ChargeRecord r;
  for (std::uint32_t i = first; i < n; ++i)
    if (ReadRecordAt(i, &r)) RememberKey(r);
}

int CChargeAndLogHandler::ConfirmStore(const ChargeRecord&) { return 0; }

int CChargeAndLogHandler::StoreRecord(const ChargeRecord& record) {
  if (!RecordingOn() || record.start == 0) return 0;
  if (ConfirmStore(record) != 0) return 0;
  // The PBX may report a call again (a re-read) or out of time order: only
  // a record already stored is dropped.
  if (recent_.count(record.Key())) return 0;
  std::uint8_t b[ChargeRecord::kSize];
  record.Serialize(b);
  if (chargeFile_.Append(b) == 0) {
    ReportUnwritableFile(chargeFile_.Path(), errno);
    return -1;
  }
  RememberKey(record);
  if (record.IsNewerThan(last_)) last_ = record;
  return 1;
}

// ---------------------------------------------------------------- listeners

void CChargeAndLogHandler::AddListener(IChargeListener* listener) {
  if (!listener || std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) return;
  listeners_.push_back(listener);
  ChargeNotice n;
  n.handler = this;
  listener->OnChargeNotify(chargecode::kAdded, n);
}

void CChargeAndLogHandler::RemoveListener(IChargeListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void CChargeAndLogHandler::NotifyListeners(int code, const ChargeNotice& notice) {
  // A listener may add or remove listeners while it is told.
  const std::vector<IChargeListener*> copy = listeners_;
  for (IChargeListener* l : copy)
    if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) l->OnChargeNotify(code, notice);
}

int CChargeAndLogHandler::SetRecordsWindow(IChargeWindow* w) {
  windows_[0] = w;
  return w ? 1 : 0;
}

int CChargeAndLogHandler::SetSumsWindow(IChargeWindow* w) {
  windows_[1] = w;
  if (!w) {
    if (job_ == kJobSums) {
      job_ = kJobNone;
      step_ = Step::kNone;
    }
    ReleaseLock(jobstate::kChargeSums);
  }
  return w ? 1 : 0;
}

int CChargeAndLogHandler::SetThirdWindow(IChargeWindow* w) {
  windows_[2] = w;
  return w ? 1 : 0;
}

void CChargeAndLogHandler::ForwardToWindows(int target, int code, const std::string& text) {
  if (target < -1 || target > 2) return;
  // Copied: a window may detach itself while it is told.
  const std::array<IChargeWindow*, 3> w = windows_;
  for (int i = 0; i < 3; ++i)
    if ((target == -1 || target == i) && w[static_cast<std::size_t>(i)])
      w[static_cast<std::size_t>(i)]->OnChargeWindowNotify(code, text);
}

void CChargeAndLogHandler::Status(int target, const std::string& text) {
  ForwardToWindows(target, chargecode::kStatus, text);
  NotifyListeners(chargecode::kStatus);
}

// ---------------------------------------------------------------- requests

void CChargeAndLogHandler::Send(std::uint8_t kind, const std::string& text) {
  request_ = PrivateRequest(0, 0, kind, text);
  if (requests_) requests_->ProcessMessage(&request_);
}

bool CChargeAndLogHandler::TakeLock(std::uint32_t state, plat::TextId before, plat::TextId after) {
  if (!lock_) return true;
  if (lock_->TakeJob(state, 1) == 0) return true;
  char job[129] = {};
  lock_->GetJobText(job, sizeof job);
  PostBox(plat::StrFormatC("%s\r\n%s\r\n%s", T(before).c_str(), job, T(after).c_str()));
  return false;
}

void CChargeAndLogHandler::ReleaseLock(std::uint32_t state) {
  if (lock_) lock_->TakeJob(state, 0);
}

int CChargeAndLogHandler::StartSumsReadOut() {
  if (job_ != kJobNone || countAsked_) return 0;
  if (!TakeLock(jobstate::kChargeSums, plat::TextId(48, 12), plat::TextId(48, 13))) return 0;
  sums_.fill(0);
  job_ = kJobSums;
  step_ = Step::kDevice;
  asked_ = "10";
  Send(EXTPBX_GETDEVICEUNITS, asked_);
  if (view_) view_->OnViewMessage(7, 5000, 0);
  return 1;
}

int CChargeAndLogHandler::StartAllRecordsReadOut() {
  // With recording off the index would pass records never stored.
  if (!RecordingOn() || job_ != kJobNone || countAsked_) return 0;
  if (!TakeLock(jobstate::kChargeReadout, plat::TextId(48, 5), plat::TextId(48, 6))) return 0;
  readIndex_ = 0;
  job_ = kJobRecords;
  step_ = Step::kMax;
  Send(EXTPBX_GETMAXNUMBEROFCALLINFOS);
  return 1;
}

int CChargeAndLogHandler::StartNewRecordsReadOut() {
  if (!RecordingOn() || job_ != kJobNone || countAsked_) return 0;
  if (readIndex_ == available_) {
    NotifyListeners(chargecode::kStatus);
    NotifyListeners(chargecode::kRecordsDone);
    return 0;
  }
  if (!TakeLock(jobstate::kChargeReadout, plat::TextId(48, 5), plat::TextId(48, 6))) return 0;
  job_ = kJobRecords;
  step_ = Step::kMax;
  Send(EXTPBX_GETMAXNUMBEROFCALLINFOS);
  return 1;
}

int CChargeAndLogHandler::RequestRecordCount() {
  if (job_ != kJobNone || countAsked_) return 0;
  countAsked_ = true;
  step_ = Step::kCount;
  Send(EXTPBX_GETNUMBEROFCALLINFOS);
  return 1;
}

int CChargeAndLogHandler::RequestDeviceUnits(const std::string& device) {
  if (job_ != kJobNone || device.empty()) return 0;
  Send(EXTPBX_GETDEVICEUNITS, device);
  return 1;
}

int CChargeAndLogHandler::CancelRecordsReadOut() {
  if (job_ == kJobRecords) {
    job_ = kJobNone;
    step_ = Step::kNone;
    countAsked_ = false;
  }
  ReleaseLock(jobstate::kChargeReadout);
  return job_;
}

int CChargeAndLogHandler::CancelSumsReadOut() {
  if (job_ == kJobSums) {
    job_ = kJobNone;
    step_ = Step::kNone;
  }
  ReleaseLock(jobstate::kChargeSums);
  return 0;
}

int CChargeAndLogHandler::DeleteAllPbxRecords() {
  if (job_ != kJobNone || countAsked_) return 0;
  job_ = kJobDeleteAll;
  step_ = Step::kDeleteAll;
  Send(EXTPBX_DELALLREPORTLOGENTRIES);
  return 1;
}

int CChargeAndLogHandler::DeleteDeviceUnits(const std::string& text) {
  if (job_ != kJobNone || countAsked_) return 0;
  const std::string device = text.substr(0, text.find('\t'));
  if (device.empty()) return 0;
  job_ = kJobDeleteUnits;
  step_ = Step::kDeleteUnits;
  asked_ = device;
  Send(EXTPBX_DELETEDEVICEUNITS, device);
  return 1;
}

std::string CChargeAndLogHandler::GetReadOutTimeText(int which) const {
  const std::uint32_t t = which == 0 ? header_.selection.sumsReadOut : which == 1 || which == 2 ? readTime_ : 0;
  return FormatChargeTime(t, "%d.%m.%y - %H:%M:%S");
}

int CChargeAndLogHandler::Command(int code) {
  if (code == chargecode::kFailed) {
    ForwardToWindows(-1, chargecode::kFailed, {});
    NotifyListeners(chargecode::kFailed);
  } else if (code == 8 && chargeOpen_) {
    if (!chargeFile_.TruncateTo(0) || !chargeFile_.Sync())
      Log(plat::StrFormatC("%s: %s", chargeFile_.Path().c_str(), std::strerror(errno)));
    last_.Clear();
    recent_.clear();
    recentOrder_.clear();
    DropReadBuffer();
    reportNext_ = 0;
  }
  return 0;
}

// ------------------------------------------------------------------ replies

void CChargeAndLogHandler::EndJob() {
  job_ = kJobNone;
  step_ = Step::kNone;
  asked_.clear();
}

int CChargeAndLogHandler::ProcessChargeMessage(const CSTAMessage& m) {
  if (m.Type() != CSTA_PRIVATE) return 0;
  const std::uint8_t kind = m.PrivateKind();
  if (job_ == kJobNone && kind != EXTPBX_GETNUMBEROFCALLINFOS_CONF && kind != EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF &&
      kind != EXTPBX_GETMAXNUMBEROFDEVICES_CONF)
    return 0;
  switch (kind) {
    case EXTPBX_GETNUMBEROFCALLINFOS_CONF: OnRecordCount(m); break;
    case EXTPBX_GETSINGLECALLINFOBYIDX_CONF: OnRecord(m); break;
    case EXTPBX_DELETEDEVICEUNITS_CONF: OnUnitsDeleted(m); break;
    case EXTPBX_GETDEVICEUNITS_CONF: OnDeviceUnits(m); break;
    case EXTPBX_DELALLREPORTLOGENTRIES_CONF:
      if (job_ != kJobDeleteAll) break;
      EndJob();
      readIndex_ = 0;
      WriteCharges();
      // The records window asked for it and waits for this answer.
      ForwardToWindows(0, chargecode::kPbxRecordsDeleted, {});
      NotifyListeners(chargecode::kPbxRecordsDeleted);
      break;
    case EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF: {
      const long n = Number(ReadPrivateReply(m).count);
      if (n > 0) {
        const int before = maxCount_;
        maxCount_ = static_cast<int>(std::min(n, kMaxRecordCount));
        // The records known as stored were the file's last "maximum": a
        // larger PBX would have its older records stored a second time.
        if (maxCount_ > before && chargeOpen_) LoadRecentKeys();
      }
      if (job_ == kJobRecords && step_ == Step::kMax) {
        step_ = Step::kCount;
        countAsked_ = true;
        Send(EXTPBX_GETNUMBEROFCALLINFOS);
      }
      break;
    }
    case EXTPBX_GETMAXNUMBEROFDEVICES_CONF: {
      const long n = Number(ReadPrivateReply(m).count);
      nameList_.clear();
      deviceCount_ = static_cast<int>(std::clamp<long>(n, 0, kMaxDevices));
      break;
    }
    default: break;
  }
  return 0;
}

void CChargeAndLogHandler::OnRecordCount(const CSTAMessage& m) {
  const long n = Number(ReadPrivateReply(m).count);
  if (!countAsked_) {
    // Someone else's count (the view's read-out): only the number is news.
    available_ = static_cast<int>(std::clamp<long>(n, 0, maxCount_));
    return;
  }
  countAsked_ = false;
  step_ = Step::kNone;
  if (n <= 0) {
    ForwardToWindows(0, chargecode::kNoRecords, {});
    NotifyListeners(chargecode::kNoRecords);
    available_ = 0;
    readIndex_ = 0;
    if (job_ == kJobRecords) {
      EndJob();
      ReleaseLock(jobstate::kChargeReadout);
    }
    return;
  }
  available_ = static_cast<int>(std::min<long>(n, maxCount_));
  if (readIndex_ > available_) readIndex_ = 0;
  Status(-1, plat::StrFormatC("%s %i", T(plat::TextId(48, 24)).c_str(), available_));
  ChargeNotice count;
  count.number = available_;
  NotifyListeners(chargecode::kAvailable, count);
  if (job_ != kJobRecords) return;
  if (readIndex_ >= available_) {
    FinishRecords();
    return;
  }
  step_ = Step::kRecord;
  Send(EXTPBX_GETSINGLECALLINFOBYIDX, plat::StrFormatC("%i", readIndex_));
}

void CChargeAndLogHandler::OnRecord(const CSTAMessage& m) {
  const PrivateReply r = ReadPrivateReply(m);
  // Only the answer to the index asked for moves the read-out on.
  if (job_ != kJobRecords || step_ != Step::kRecord || r.index.empty() || Number(r.index) != readIndex_) return;
  read_.Clear();
  const long start = Number(r.startTime);
  read_.start = start > 0 && start <= 0xFFFFFFFFL ? static_cast<std::uint32_t>(start) : 0;
  read_.duration = ChargeRecord::Clamp(Number(r.duration));
  read_.units = ChargeRecord::Clamp(Number(r.units));
  std::string calling;
  if (!Config().GetDialNumber(r.callingNumber, calling)) calling = r.callingNumber;
  read_.SetCalling(calling);
  read_.SetCalled(r.calledNumber);
  StoreRecord(read_);
  readIndex_ = static_cast<int>(Number(r.index)) + 1;
  if (readIndex_ < available_) {
    Send(EXTPBX_GETSINGLECALLINFOBYIDX, plat::StrFormatC("%i", readIndex_));
    Status(-1, plat::StrFormatC("%s %3i %s %3i", T(plat::TextId(48, 22)).c_str(), readIndex_,
                                T(plat::TextId(48, 23)).c_str(), available_));
    ChargeNotice pct;
    pct.number = static_cast<std::int32_t>(static_cast<long long>(readIndex_) * 100 / available_);
    NotifyListeners(chargecode::kProgress, pct);
    return;
  }
  FinishRecords();
}

void CChargeAndLogHandler::FinishRecords() {
  readTime_ = Now();
  header_.selection.recordsReadOut = readTime_;
  EndJob();
  ReleaseLock(jobstate::kChargeReadout);
  PersistReadOut();
  ForwardToWindows(0, chargecode::kRecordsDone, {});
  Status(-1, {});
  NotifyListeners(chargecode::kRecordsDone);
}

void CChargeAndLogHandler::OnDeviceUnits(const CSTAMessage& m) {
  if (job_ != kJobSums || step_ != Step::kDevice) return;
  const PrivateReply r = ReadPrivateReply(m);
  const long asked = Number(asked_);
  const long device = Number(r.device);
  // Another party's answer (the manager asks single extensions too) must
  // not fork the read-out; past the last device any answer ends it.
  const bool beyond = asked - 10 >= deviceCount_;
  if (!beyond && (r.device.empty() || device != asked)) return;
  const long i = device - 10;
  if (!beyond && i >= 0 && i < deviceCount_) {
    sums_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::clamp<long>(Number(r.units), INT32_MIN, INT32_MAX));
    const std::string name = r.dialledNumber.substr(0, 9);
    names_[static_cast<std::size_t>(i)] = name;
    nameList_.push_back(name);
    asked_ = plat::StrFormatC("%li", i + 11);
    Send(EXTPBX_GETDEVICEUNITS, asked_);
    Status(1, plat::StrFormatC("%s %li", T(plat::TextId(48, 21)).c_str(), i + 11));
    ChargeNotice pct;
    pct.number = static_cast<std::int32_t>((i + 1) * 100 / deviceCount_);
    NotifyListeners(chargecode::kProgress, pct);
    return;
  }
  header_.selection.sumsReadOut = Now();
  EndJob();
  ReleaseLock(jobstate::kChargeSums);
  PersistHeader();
  ForwardToWindows(1, chargecode::kSumsDone, {});
  Status(1, {});
  NotifyListeners(chargecode::kSumsDone);
}

void CChargeAndLogHandler::OnUnitsDeleted(const CSTAMessage& m) {
  if (job_ != kJobDeleteUnits || step_ != Step::kDeleteUnits) return;
  const std::string device = ReadPrivateReply(m).device;
  const bool all = !device.empty() && device[0] == '*';
  if (all != (asked_[0] == '*') || (!all && Number(device) != Number(asked_))) return;
  EndJob();
  if (all) {
    header_.cleared.fill(0);
    sums_.fill(0);
    ForwardToWindows(1, chargecode::kAllSumsCleared, {});
    NotifyListeners(chargecode::kAllSumsCleared);
    return;
  }
  const long i = Number(device) - 10;
  if (i >= 0 && i < deviceCount_) {
    sums_[static_cast<std::size_t>(i)] = 0;
    ForwardToWindows(1, chargecode::kSumsDone, {});
    NotifyListeners(chargecode::kSumsDone);
  }
}

void CChargeAndLogHandler::OnRequestFailed(std::uint32_t) {
  refusal_ = -1;
  GiveUp();
}

void CChargeAndLogHandler::OnRequestRefused(std::uint32_t, int code) {
  refusal_ = code;
  GiveUp();
}

void CChargeAndLogHandler::GiveUp() {
  if (job_ == kJobNone && !countAsked_) return;
  if (job_ == kJobRecords) ReleaseLock(jobstate::kChargeReadout);
  if (job_ == kJobSums) ReleaseLock(jobstate::kChargeSums);
  EndJob();
  countAsked_ = false;
  ForwardToWindows(-1, chargecode::kFailed, {});
  NotifyListeners(chargecode::kFailed);
}

void CChargeAndLogHandler::OnReadOutFinished() {
  if (job_ != kJobRecords) return;
  EndJob();
  countAsked_ = false;
  ReleaseLock(jobstate::kChargeReadout);
}

const std::string& CChargeAndLogHandler::DeviceName(int i) const {
  static const std::string kNone;
  return i >= 0 && i < kMaxDevices ? names_[static_cast<std::size_t>(i)] : kNone;
}
