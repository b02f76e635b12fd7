// The call-charge logger and its four exports.
#include "netlink/chargereport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/paths.h"

#define NETLINK_EXPORT extern "C" __attribute__((visibility("default")))

namespace netlink {

// The window half (chargewindow.cpp): made only when an application runs.
CChargeReport::ViewPtr MakeChargeView(CChargeReport* report);
void ChargeViewAddLine(CChargeReport::View& v, const std::string& line);
void ChargeViewDropOldest(CChargeReport::View& v, std::size_t n);
void ChargeViewShowFrom(CChargeReport::View& v, int top);
void ChargeViewSetLogging(CChargeReport::View& v, bool on);
void ChargeViewSetWrite(CChargeReport::View& v, bool on);
void ChargeViewSetFileName(CChargeReport::View& v, const std::string& name);
void ChargeViewClose(CChargeReport::View& v);
bool ChargeViewChooseFile(std::string* name);

namespace {

std::unique_ptr<CChargeReport>& Current() {
  static auto* p = new std::unique_ptr<CChargeReport>;
  return *p;
}

// A closed logger is freed from the message loop, never at once: the close
// may come from inside one of its own window's handlers (or the owner's,
// while the logger tells it), which then return into a live object.
struct Reaper : plat::IMessageTarget {
  std::vector<std::unique_ptr<CChargeReport>> closed;
  plat::WindowId id = plat::RegisterTarget(this);
  plat::LRESULT OnMessage(const plat::Message&) override {
    auto done = std::move(closed);
    closed.clear();
    return 0;
  }
};

Reaper& TheReaper() {
  static auto* r = new Reaper;
  return *r;
}

void Retire() {
  if (!Current()) return;
  Current()->CloseWindow();
  Reaper& r = TheReaper();
  r.closed.push_back(std::move(Current()));
  plat::PostMessage(r.id, 1);
}

CChargeReport::FileChooser& Chooser() {
  static auto* c = new CChargeReport::FileChooser;
  return *c;
}

}  // namespace

CChargeReport* ChargeReport() { return Current().get(); }

void CChargeReport::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

CChargeReport::CChargeReport(plat::WindowId owner, std::uint32_t flags) : owner_(owner), flags_(flags) {
  logging_ = (flags & kChargeStartNow) != 0;
  writeToFile_ = (flags & (kChargeToFile | kChargeToFileToo | kChargeDayFile)) != 0;
  if (flags & kChargeDayFile) {
    const std::string day = ChargeDayFileName(plat::WallTime());
    if (!day.empty()) fileName_ = day;
  }
  view_ = MakeChargeView(this);
  if (view_) {
    ChargeViewSetLogging(*view_, logging_);
    ChargeViewSetWrite(*view_, writeToFile_);
    ChargeViewSetFileName(*view_, fileName_);
  }
}

CChargeReport::~CChargeReport() { CloseWindow(); }

void CChargeReport::CloseWindow() {
  if (view_) ChargeViewClose(*view_);
}

bool CChargeReport::Process(const std::uint8_t* rec, std::size_t size) {
  if (!logging_) return false;
  ChargeFields f;
  if (!ReadChargeRecord(rec, size, &f)) return false;
  const ChargeLines l = FormatChargeFields(f);
  lastLine_ = l.fileLine;
  if (flags_ & kChargeFollowDay) {
    const std::string day = ChargeDayFileName(plat::WallTime());
    if (!day.empty() && day != fileName_) SetFileName(day);
  }
  AddLine(l.listLine);
  AppendToFile(l.fileLine);
  return true;
}

void CChargeReport::AddLine(const std::string& line) {
  if (lines_.size() >= kListLimit) {
    for (std::size_t i = 0; i < kListDrop && !lines_.empty(); ++i) lines_.pop_front();
    if (view_) ChargeViewDropOldest(*view_, kListDrop);
  }
  lines_.push_back(line);
  top_ = static_cast<int>(lines_.size()) > kListShown ? static_cast<int>(lines_.size()) - kListShown : 0;
  if (view_) {
    ChargeViewAddLine(*view_, line);
    ChargeViewShowFrom(*view_, top_);
  }
}

// The file is opened for each line, appended to at its end and closed,
// so nothing written before is ever at risk. A line left torn by a crash
// is ended first, so the new line never runs on from it; the line goes out
// in one append.
void CChargeReport::AppendToFile(const std::string& line) {
  if (!writeToFile_ || fileName_.empty()) return;
  const int fd = ::open(plat::MapPath(fileName_).c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string out;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  char last = '\n';
  if (end > 0 && ::pread(fd, &last, 1, end - 1) != 1) last = '\n';
  if (last != '\n') out = "\r\n";
  out += line;
  out += "\r\n";
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

void CChargeReport::SetFileName(const std::string& name) {
  fileName_ = name;
  if (view_) ChargeViewSetFileName(*view_, fileName_);
}

void CChargeReport::PressStartStop() {
  logging_ = !logging_;
  if (view_) ChargeViewSetLogging(*view_, logging_);
  plat::SendMessage(owner_, logging_ ? kMsgChargeStarted : kMsgChargeStopped, 0, 0);
}

void CChargeReport::SetWriteToFile(bool on) {
  writeToFile_ = on;
  if (view_) ChargeViewSetWrite(*view_, on);
}

void CChargeReport::PressName() {
  std::string name;
  const bool chosen = Chooser() ? Chooser()(&name) : ChargeViewChooseFile(&name);
  if (chosen && !name.empty()) SetFileName(name);
}

void CChargeReport::PressSave(const std::string& name) {
  if (!name.empty()) SetFileName(name);
}

void CChargeReport::PressEnd() {
  const plat::WindowId owner = owner_;
  plat::SendMessage(owner, kMsgChargeEnded, 0, 0);
  // The owner may have closed the logger while it was told.
  if (Current().get() != this) return;
  Retire();
}

}  // namespace netlink

using namespace netlink;

NETLINK_EXPORT std::uint32_t PBXNWHOpenChargingThreat(plat::WindowId owner, std::uint32_t /*reserved*/,
                                                      std::uint32_t flags) {
  if (Current()) return kFailedOpen;
  Current() = std::make_unique<CChargeReport>(owner, flags);
  return 1;
}

NETLINK_EXPORT std::uint32_t PBXNWHProcessChargingThreatMsg(const void* record, std::uint32_t /*reserved*/) {
  if (!Current() || !record) return 0;
  return Current()->Process(static_cast<const std::uint8_t*>(record), kChargeRecordLimit) ? 1 : 0;
}

NETLINK_EXPORT const char* PBXNWHGetChargingFStringFromMsg(std::uint32_t flag, std::uint32_t /*reserved1*/,
                                                           std::uint32_t /*reserved2*/) {
  if (flag != 0 || !Current()) return "";
  return Current()->lastLine().c_str();
}

NETLINK_EXPORT std::int32_t PBXNWHCloseChargingThreat(std::uint32_t /*reserved*/) {
  if (!Current()) return -1;
  Retire();
  return 1;
}
